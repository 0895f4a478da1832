// The resources of verlado (defined in resources.cpp).
#pragma once

#include "platform/ui/resources.h"

// The program's name: the caption of its window and of its message boxes.
constexpr const char* kVerladoName = "Verlado Version 1.0";

// The progress dialog, the client of the main frame, and its controls.
constexpr int IDD_CLIENT = 2000;
constexpr int IDC_SOURCE = 101;
constexpr int IDC_TARGET = 102;
constexpr int IDC_MESSAGES = 103;
// The frame that marks the gauge's place; the gauge replaces it.
constexpr int IDC_GAUGE_PLACE = 666;
constexpr int IDC_GAUGE = 999;
// The program icon.
constexpr int IDI_VERLADO = 1001;

extern TModule VerladoModule;
