// The running system's version, read from the machine's registry.
#include "platform/osversion.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/registry.h"

namespace orb {

bool ParseSystemVersion(const char* text, DWORD* major, DWORD* minor) {
    if (text == nullptr) return false;
    char* end = nullptr;
    unsigned long high = std::strtoul(text, &end, 10);
    if (end == text || *end != '.' || high > 0xFFFF) return false;
    const char* rest = end + 1;
    unsigned long low = std::strtoul(rest, &end, 10);
    if (end == rest || *end != '\0' || low > 0xFFFF) return false;
    *major = static_cast<DWORD>(high);
    *minor = static_cast<DWORD>(low);
    return true;
}

}  // namespace orb

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (info == nullptr || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD major = 10, minor = 0;
    std::string text;
    if (orb::RegGetString(orb::kSystemVersionKey, "CurrentVersion", &text) == ERROR_SUCCESS)
        orb::ParseSystemVersion(text.c_str(), &major, &minor);
    std::memset(reinterpret_cast<char*>(info) + sizeof(DWORD), 0,
                sizeof(OSVERSIONINFOA) - sizeof(DWORD));
    info->dwMajorVersion = major;
    info->dwMinorVersion = minor;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    return TRUE;
}
