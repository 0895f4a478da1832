// The program's argument vector, kept for code far from main (as the
// run-time library keeps its __argc and __argv).
#pragma once

#include <string>
#include <vector>

// Keeps a copy of main's arguments, the program's name first.
void SetCommandLineArgs(int argc, const char* const* argv);
// What SetCommandLineArgs kept; empty before it is called.
const std::vector<std::string>& GetCommandLineArgs();
