// Starting a program that runs on its own (WinExec, shown normally), as the
// launchers do: a failed start is shown to nobody, so a line on standard
// error tells whoever runs the launcher from a script.
#pragma once

#include <string>

// who: the launcher's name in that line. true when the program started.
bool StartOnItsOwn(const char* who, const std::string& commandLine);
