#include "tools/OrbConfig/OrbConfigApp.h"

#include <cstring>
#include <vector>

#include "platform/errortext.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/ui.h"

namespace {

constexpr const char* kCaption = "OrbConfig";

enum class InstallPath {
    Read,      // the value, or empty when it is missing
    NoKey,     // the key does not open
    Unusable,  // a number, or longer than the 259 characters read
};

// "InstallPath" of key into a 260-byte buffer. A missing value leaves
// *directory empty.
InstallPath ReadInstallPath(const char* keyPath, std::string* directory) {
    directory->clear();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, keyPath, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        return InstallPath::NoKey;
    }
    char value[MAX_PATH] = {};
    DWORD size = sizeof value;
    DWORD type = REG_NONE;
    const LONG rc = RegQueryValueExA(key, "InstallPath", nullptr, &type,
                                     reinterpret_cast<LPBYTE>(value), &size);
    RegCloseKey(key);
    if (rc == ERROR_FILE_NOT_FOUND) return InstallPath::Read;
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return InstallPath::Unusable;
    }
    value[sizeof value - 1] = '\0';
    *directory = value;
    return InstallPath::Read;
}

// A cut-off or numeric install path would name another directory, or none
// ("/bin"): the box says which value is at fault instead.
void ShowUnusableInstallPath(const char* keyPath, LPCSTR program) {
    const std::string text = std::string("Cannot launch ") + (program != nullptr ? program : "") +
                             ": \"InstallPath\" of HKEY_LOCAL_MACHINE\\" + keyPath +
                             " is not a directory path of at most " + std::to_string(MAX_PATH - 1) +
                             " characters";
    MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONWARNING);
}

void ShowLaunchFailure(const std::string& commandLine, const std::string& directory) {
    const std::string text =
        "Failed to launch " + commandLine + ",Program path not found in " + directory;
    MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK);
}

// What a signal did, else the system's text for the code; the program's
// own codes have no text here.
std::string ExitCodeText(DWORD code, int signal) {
    if (signal != 0) return orb::EndSignalText(signal);
    char text[MAX_PATH] = {};
    DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                       MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) text[--length] = '\0';
    return length > 0 ? text : "The program gives no description of this code.";
}

void ShowExitCode(const std::string& programPath, DWORD code, int signal) {
    const std::string text = programPath + " ended with exit code " + std::to_string(code) + ": " +
                             ExitCodeText(code, signal);
    MessageBoxA(nullptr, text.c_str(), kCaption, MB_OK | MB_ICONWARNING);
}

}  // namespace

std::string FormatWithDirectory(const std::string& format, const std::string& directory) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            out += directory;
            ++i;
        } else if (format[i] == '%' && i + 1 < format.size() && format[i + 1] == '%') {
            out += '%';
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

BOOL COrbConfigApp::InitInstance() {
    // Control containment and the application's settings key ("Local
    // AppWizard-Generated Applications") belong to the window frame;
    // nothing is stored there, so there is nothing to set up here.
    // A damaged hive reads as "not installed" below: nothing would happen
    // and the installer would take that for done.
    if (!orb::RegHiveUsable(kCaption)) {
        exitCode_ = kExitNotDone;
        return FALSE;
    }
    HKEY machine = nullptr;
    if (RegConnectRegistryA(nullptr, HKEY_LOCAL_MACHINE, &machine) != ERROR_SUCCESS) {
        exitCode_ = kExitNotDone;
        return FALSE;
    }
    HKEY orbmap = nullptr;
    if (RegOpenKeyExA(machine, kOrbmapPresenceKey, 0, KEY_READ, &orbmap) == ERROR_SUCCESS) {
        RegCloseKey(orbmap);
        LaunchProgram(nullptr, "ksorbcls.exe", kFrameworkBinDirectory);
    }
    RegCloseKey(machine);
    return FALSE;
}

DWORD COrbConfigApp::LaunchProgram(LPCSTR format, LPCSTR program, int kind) {
    std::string install, agent;
    const InstallPath installRead = ReadInstallPath(kFrameworkKey, &install);
    if (installRead == InstallPath::NoKey) return 0;
    const InstallPath agentRead = ReadInstallPath(kAgentServicesKey, &agent);
    if (agentRead == InstallPath::NoKey) return 0;
    const std::string arguments = format != nullptr ? FormatWithDirectory(format, install) : "";

    std::string base, directory;
    switch (kind) {
        case kAgentServicesDirectory:
            base = directory = agent;
            break;
        case kFrameworkToolsDirectory:
            base = install;
            directory = install + "/Services/Tools";
            break;
        case kFrameworkBinDirectory:
            base = install;
            directory = install + "/bin";
            break;
        default:
            return 0;
    }
    const bool fromAgent = kind == kAgentServicesDirectory;
    if ((fromAgent ? agentRead : installRead) == InstallPath::Unusable) {
        ShowUnusableInstallPath(fromAgent ? kAgentServicesKey : kFrameworkKey, program);
        exitCode_ = kExitNotDone;
        return 0;
    }
    const std::string programPath = directory + "/" + (program != nullptr ? program : "");
    const std::string commandLine = programPath + " " + arguments;
    // Without its "InstallPath" the directory would hang from the root of
    // the file system: no program is looked for there.
    if (base.empty()) {
        ShowLaunchFailure(commandLine, directory);
        exitCode_ = kExitNotDone;
        return 0;
    }

    STARTUPINFOA startup;
    std::memset(&startup, 0, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS, nullptr,
                        directory.c_str(), &startup, &process)) {
        ShowLaunchFailure(commandLine, directory);
        exitCode_ = kExitNotDone;
        return 0;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (code != 0) {
        ShowExitCode(programPath, code, orb::ProcessEndSignal(process.hProcess));
        exitCode_ = kExitProgramFailed;
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    return code;
}
