#include "snmpagent/installpath.h"

#include <cstring>

#include "platform/registry.h"
#include "snmpagent/trace.h"

namespace {

constexpr const char* kBasePathKey = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path";

}  // namespace

const char* getInstallPath() {
    static char home[1024];
    agentTrace("getInstallPath: Entered.\n");
    // Zeroed first, so that a value stored without its terminator ends in one.
    memset(home, 0, sizeof home);
    HKEY key = nullptr;
    const LONG opened = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBasePathKey, 0, KEY_READ, &key);
    agentTrace("getInstallPath: Opened up key %s, result=%d\n", kBasePathKey,
               static_cast<int>(opened));
    if (opened == ERROR_SUCCESS) {
        DWORD type = 0;
        DWORD size = sizeof home;
        const LONG read = RegQueryValueExA(key, "HOME", nullptr, &type,
                                           reinterpret_cast<BYTE*>(home), &size);
        // A value that is no text, or too long for the buffer, is no usable directory.
        if (read != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
            home[0] = '\0';
        home[sizeof home - 1] = '\0';
        RegCloseKey(key);
    }
    agentTrace("getInstallPath: %s\n", home);
    agentTrace("getInstallPath: Leaving.\n");
    return home;
}
