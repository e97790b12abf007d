// The version of the running system, as Windows reports it (major.minor).
// A machine says which system it plays in its registry, the value
// "CurrentVersion" (REG_SZ, "5.1", "6.1", ...) of
// "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion"; a machine that does not
// say runs a current system, 10.0.
#pragma once

#include "platform/win32.h"

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};

#define VER_PLATFORM_WIN32_NT 2

namespace orb {

inline constexpr const char* kSystemVersionKey = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";

// "major.minor" text as the registry holds it: false when it is not one.
bool ParseSystemVersion(const char* text, DWORD* major, DWORD* minor);

}  // namespace orb

// FALSE with ERROR_INVALID_PARAMETER when dwOSVersionInfoSize is not set.
BOOL GetVersionExA(OSVERSIONINFOA* info);
