// The process environment with the Win32 shapes. The agent extends PATH at
// start-up so that libraries of another product are found by bare name, and
// the loader reads PATH on every search, so a change takes effect at once.
#pragma once

#include "platform/win32.h"

#ifndef ERROR_ENVVAR_NOT_FOUND
#define ERROR_ENVVAR_NOT_FOUND 203L
#endif

namespace orb {

// Separator of the directories in PATH, as the loader splits it.
inline constexpr char kPathListSeparator = ':';

}  // namespace orb

// Copies the value with its terminator and returns its length without it.
// When the buffer is too small (or null) returns the size needed including
// the terminator and copies nothing. 0 and ERROR_ENVVAR_NOT_FOUND when unset.
DWORD GetEnvironmentVariableA(LPCSTR name, LPSTR buffer, DWORD size);
// Null value removes the variable. FALSE for an empty or malformed name.
BOOL SetEnvironmentVariableA(LPCSTR name, LPCSTR value);
