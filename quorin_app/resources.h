// The resources of Quorin (defined in resources.cpp).
#pragma once

#include "platform/ui/resources.h"

// The client window of the main frame.
constexpr int IDD_CLIENT = 2000;
// The colour picking dialog.
constexpr const char* IDD_TOUCH = "IDD_TOUCH";
// The program icon.
constexpr int IDI_QUORIN = 1001;

extern TModule QuorinModule;
