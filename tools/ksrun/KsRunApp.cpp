#include "tools/ksrun/KsRunApp.h"

#include <cstdio>

#include "backup/kstool/kstool.h"
#include "platform/registry.h"
#include "platform/ui.h"
#include "tools/ResourceSource.h"
#include "tools/StartOnItsOwn.h"

namespace {

// The text shown when no home directory is found.
constexpr UINT kNoHomeText = 20;

}  // namespace

std::string FindProductHome() {
    char product[256] = {};
    KsToolGetProductKey(product, sizeof product);
    const std::string keys[] = {std::string(product) + "\\Path", kKsRunEarlierEditionKey,
                                kKsRunOlderEditionKey};
    for (const std::string& path : keys) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) !=
            ERROR_SUCCESS) {
            continue;
        }
        char home[512] = {};
        DWORD size = sizeof home;
        DWORD type = REG_NONE;
        const LONG rc =
            RegQueryValueExA(key, "HOME", nullptr, &type, reinterpret_cast<LPBYTE>(home), &size);
        RegCloseKey(key);
        // Only the first key that opens is read. A number or a cut-off
        // path would start something nobody asked for.
        if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return "";
        home[sizeof home - 1] = '\0';
        return home;
    }
    return "";
}

BOOL CKsRunApp::InitInstance(const std::string& commandLine) {
    CResourceSource resources;
    // Without a program the home directory itself would be "started".
    if (commandLine.find_first_not_of(" \t") == std::string::npos) {
        std::fprintf(stderr, "ksrun: no program given; usage: ksrun PROGRAM [ARGUMENTS...]\n");
        exitCode_ = kKsRunNoProgram;
        return FALSE;
    }
    // A damaged hive would read as "no home" and tell the user to install
    // the product again.
    if (!orb::RegHiveUsable("ksrun")) {
        exitCode_ = kKsRunNotStarted;
        return FALSE;
    }
    const std::string home = FindProductHome();
    if (home.empty()) {
        MessageBoxA(nullptr, resources.Text(kNoHomeText).c_str(), "ksrun", MB_OK);
        exitCode_ = kKsRunNotStarted;
        return FALSE;
    }
    const std::string program = home + "/" + commandLine;
    exitCode_ = StartOnItsOwn("ksrun", program) ? kKsRunStarted : kKsRunNotStarted;
    return FALSE;
}
