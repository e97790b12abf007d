// The platform and product tests of the gate checks.
#include <strings.h>

#include <string>

#include "platform/machine.h"
#include "platform/osversion.h"
#include "platform/registry.h"
#include "setup/actions.h"

namespace orbf {
namespace {

// Whether path opens for reading under the machine's HKEY_LOCAL_MACHINE.
bool KeyOpens(LPCSTR machine, LPCSTR path) {
    CKestRegistry registry(IsRemote(machine), machine);
    return registry.KeyExists(path);
}

}  // namespace

bool IsRemote(LPCSTR machine) {
    if (machine == nullptr || machine[0] == '\0') return false;
    const char* name = machine;
    if (name[0] == '\\' && name[1] == '\\') name += 2;
    return strcasecmp(name, orb::ComputerName().c_str()) != 0;
}

bool IsWindows51(LPCSTR machine) {
    DWORD major = 0, minor = 0;
    if (IsRemote(machine)) {
        CKestRegistry registry(TRUE, machine);
        HKEY key = nullptr;
        if (!registry.IsConnected() ||
            RegOpenKeyExA(registry.Root(), orb::kSystemVersionKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return false;
        char text[32] = {};
        DWORD size = sizeof(text) - 1, type = 0;
        LONG code = RegQueryValueExA(key, "CurrentVersion", nullptr, &type,
                                     reinterpret_cast<LPBYTE>(text), &size);
        RegCloseKey(key);
        return code == ERROR_SUCCESS && orb::ParseSystemVersion(text, &major, &minor) &&
               major == 5 && minor == 1;
    }
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExA(&info)) return false;
    // 5.1 or later, but not 5.2 or later.
    auto atLeast = [&](DWORD wantMajor, DWORD wantMinor) {
        return info.dwMajorVersion > wantMajor ||
               (info.dwMajorVersion == wantMajor && info.dwMinorVersion >= wantMinor);
    };
    return atLeast(5, 1) && !atLeast(5, 2);
}

bool OrbmapPresent(LPCSTR machine) { return KeyOpens(machine, kOrbmapKey); }

bool SnmpPresent(LPCSTR machine) {
    if (IsRemote(machine)) return KeyOpens(machine, kSnmpServiceKey);
    return CService().ServiceExists(kSnmpService) != FALSE;
}

bool IntegrationPresent(LPCSTR machine) {
    static const char* const kKeys[] = {
        "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration",
        "SOFTWARE\\NorwindSystems\\VaultlineIT\\OrbIntegration",
        "SOFTWARE\\Kestrel\\OrbIntegration",
        "SOFTWARE\\NorwindSystems\\Kitefox\\OrbIntegration",
        "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration",
        "SOFTWARE\\NorwindSystems\\Lumora Enterprise Backup\\OrbIntegration",
        "SOFTWARE\\Kestrel\\Relaypoint\\CurrentVersion\\OrbIntegration",
    };
    // A machine that cannot be reached is looked at through the local registry.
    CKestRegistry remote(IsRemote(machine), machine);
    CKestRegistry local;
    const CKestRegistry& registry = remote.IsConnected() ? remote : local;
    for (const char* key : kKeys)
        if (registry.KeyExists(key)) return true;
    return false;
}

unsigned BackupProductCheck() {
    if (!Settings().IsVaultlineInstalled()) return 813;
    CKestRegistry registry;
    tagProductStruct product{};
    if (!registry.GetVaultlineProductInfo(&product)) return 813;
    if (!registry.KeyExists(CKestRegistry::m_sVaultlineKey)) return 813;
    return registry.IsVaultlineManagerInstalled() ? 0 : 838;
}

bool MediaMajorEqual(const tagProductStruct& product, const std::string& setupDir) {
    std::string directory = setupDir.empty() ? Settings().GetSetupDir() : setupDir;
    DWORD version = SetupCLSGetVersionBuildNumber((directory + "VLVCTL.DLL").c_str());
    return ((version >> 8) & 0xFF) == product.byVersion;
}

std::string MediaInf(const std::string& setupDir) { return setupDir + "setup.inf"; }

bool FrameworkInstallPath(std::string* path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kFrameworkKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    char buffer[MAX_PATH] = {};
    DWORD size = MAX_PATH, type = 0;
    if (RegQueryValueExA(key, "InstallPath", nullptr, &type, reinterpret_cast<LPBYTE>(buffer),
                         &size) != ERROR_SUCCESS)
        buffer[0] = '\0';
    buffer[MAX_PATH - 1] = '\0';
    RegCloseKey(key);
    *path = buffer;
    return true;
}

}  // namespace orbf
