// Key path queries, read from the machine's "kstool.ini" with built-in defaults.
#include "backup/kstool/kstool.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "platform/filelock.h"
#include "platform/ini.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/sync.h"

namespace {

constexpr const char* kSection = "Keys";

std::string ConfigFile() { return orb::MachineRoot() + "/kstool.ini"; }

// The configured path, or the default when the entry is missing or unusable.
std::string ConfiguredPath(const char* key, const char* fallback) {
    // Twice the limit, so that an over-long entry is seen as such, not cut.
    char value[2 * KSTOOL_MAX_KEY_PATH + 2] = {};
    DWORD n = GetPrivateProfileStringA(kSection, key, "", value, sizeof value,
                                       ConfigFile().c_str());
    std::string path(value, n);
    while (!path.empty() && path.back() == '\\') path.pop_back();
    if (path.empty() || path.size() > KSTOOL_MAX_KEY_PATH) return fallback;
    return path;
}

LONG WritePath(const std::string& path, LPSTR buffer, DWORD size) {
    if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
    if (path.size() + 1 > size) {
        if (size > 0) buffer[0] = '\0';
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return ERROR_SUCCESS;
}

}  // namespace

extern "C" LONG KsToolGetProductKey(LPSTR buffer, DWORD size) {
    return WritePath(
        ConfiguredPath("ProductKey", "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base"),
        buffer, size);
}

extern "C" LONG KsToolGetIntegrationRootKey(LPSTR buffer, DWORD size) {
    return WritePath(
        ConfiguredPath("IntegrationRootKey", "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup"),
        buffer, size);
}

extern "C" LONG KsToolGetServerKey(LPSTR buffer, DWORD size) {
    return WritePath(ConfiguredPath("ServerKey",
                                    "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Servers"),
                     buffer, size);
}

BOOL KsToolDebugSwitchOn(void) {
    char root[KSTOOL_MAX_KEY_PATH + 1] = {};
    KsToolGetIntegrationRootKey(root, sizeof root);
    DWORD debug = 0;
    return orb::RegGetDword(std::string(root) + "\\OrbIntegration", "Debug", &debug) ==
               ERROR_SUCCESS &&
           debug == 1;
}

LONG KsToolGetLogDirectory(LPSTR buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return ERROR_INVALID_PARAMETER;
    buffer[0] = '\0';
    char product[KSTOOL_MAX_KEY_PATH + 1] = {};
    KsToolGetProductKey(product, sizeof product);
    std::string dir;
    LONG rc = orb::RegGetString(std::string(product) + "\\Path", "LOG", &dir);
    if (rc != ERROR_SUCCESS) return rc;
    if (dir.size() >= size) return ERROR_MORE_DATA;
    std::memcpy(buffer, dir.c_str(), dir.size() + 1);
    return ERROR_SUCCESS;
}

DWORD KsToolFormatLogLine(LPCSTR message, LPSTR line, DWORD size) {
    constexpr DWORD kStampSize = 18;  // "MM/DD/YY HH:MM:SS\t"
    if (line == nullptr || size < kStampSize + 3) return 0;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    std::snprintf(line, size, "%02u/%02u/%02u %02u:%02u:%02u\t", now.wMonth % 100u,
                  now.wDay % 100u, now.wYear % 100u, now.wHour % 100u, now.wMinute % 100u,
                  now.wSecond % 100u);
    const size_t room = size - kStampSize - 3;
    const size_t used = message == nullptr ? 0 : strnlen(message, room);
    if (used > 0) std::memcpy(line + kStampSize, message, used);
    std::memcpy(line + kStampSize + used, "\r\n", 3);
    return static_cast<DWORD>(kStampSize + used + 2);
}

extern "C" DWORD KsToolAppendTrace(LPCSTR path, LPCSTR text, DWORD length) {
    if (path == nullptr || text == nullptr) return ERROR_INVALID_PARAMETER;
    return orb::AppendRotated(path, text, length, KSTOOL_TRACE_ROTATE_BYTES);
}
