#include "launcher/Launcher.h"

#include "backup/kstool/kstool.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "platform/registry.h"

namespace launcher {
namespace {

const char* const kNotSet = "...";
const char* const kDefaultSection = "Default";
const char* const kDefaultType = "http";
const char* const kDefaultCommand = "http://$hostName:6060";
const char* const kPlaceholder = "$hostName";
const char* const kTelnet = "telnet";

constexpr DWORD kServerInfoSize = 8192;
constexpr UINT kTextNotEligible = 22;
constexpr UINT kTextNoTool = 23;

// A key of the host's section, else of "Default"; "..." counts as absent
// at both levels.
std::string ReadSetting(const std::string& iniPath, const std::string& host, const char* key,
                        const char* fallback) {
    char value[kValueBufferSize] = {};
    GetPrivateProfileStringA(host.c_str(), key, kNotSet, value, sizeof value, iniPath.c_str());
    if (std::string(value) != kNotSet) return value;
    GetPrivateProfileStringA(kDefaultSection, key, fallback, value, sizeof value, iniPath.c_str());
    return std::string(value) != kNotSet ? value : fallback;
}

bool Started(intptr_t result) { return result > 32; }

bool StartTelnet(const LauncherContext& context, const std::string& host) {
    if (!TelnetTakesHost(host)) {
        if (context.tell) {
            context.tell("the host name \"" + host +
                         "\" starts with '-' or holds blanks; telnet is not started for it");
        }
    } else if (Started(context.shell(kTelnet, TelnetParameters(host).c_str(), SW_SHOWNORMAL))) {
        return true;
    }
    if (context.warn) context.warn(kTextNoTool);
    return false;
}

}  // namespace

LaunchRequest ParseLaunchCommandLine(const std::string& line) {
    LaunchRequest request;
    static const struct {
        const char* marker;
        LaunchMode mode;
    } kMarkers[] = {{"-h ", LaunchMode::Host}, {"-d ", LaunchMode::Update},
                    {"/S:", LaunchMode::Server}};
    for (const auto& marker : kMarkers) {
        const size_t at = line.find(marker.marker);
        if (at == std::string::npos) continue;
        size_t from = at + std::char_traits<char>::length(marker.marker);
        if (marker.mode == LaunchMode::Server) {
            while (from < line.size() && line[from] == ' ') ++from;
        }
        request.host = line.substr(from);
        request.mode = marker.mode;
        if (request.host.size() >= kHostBufferSize) {
            // Cut, the name could be another host's.
            request.host.clear();
            request.mode = LaunchMode::TooLong;
        } else if (request.host.find_first_not_of(' ') == std::string::npos) {
            // Nothing to open: "http://:6060" is no host's page.
            request.mode = LaunchMode::NoHost;
        }
        return request;
    }
    return request;
}

std::string IniPathFor(const std::string& programPath) {
    const size_t slash = programPath.find_last_of('/');
    const size_t dot = programPath.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return hasExtension ? programPath.substr(0, dot + 1) + "INI" : programPath + ".INI";
}

int SubstitutePlaceholder(std::string* text, const std::string& placeholder,
                          const std::string& value, size_t capacity) {
    if (placeholder.empty() || capacity == 0) return 0;
    int replaced = 0;
    size_t from = 0;
    for (;;) {
        const size_t at = text->find(placeholder, from);
        if (at == std::string::npos) break;
        if (at + placeholder.size() + value.size() >= capacity) break;
        if (text->size() - placeholder.size() + value.size() > capacity - 1) break;
        text->replace(at, placeholder.size(), value);
        ++replaced;
        from = at + value.size();
    }
    return replaced;
}

bool ServerIsEligible(const std::string& server) {
    char key[KSTOOL_MAX_KEY_PATH + 1] = {};
    KsToolGetServerKey(key, sizeof key);
    const std::string path = std::string(key) + "\\" + server;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS) {
        return false;
    }
    std::string info(kServerInfoSize, '\0');
    DWORD size = kServerInfoSize;
    DWORD type = 0;
    const LONG rc = RegQueryValueExA(handle, "ServerInfo", nullptr, &type,
                                     reinterpret_cast<LPBYTE>(info.data()), &size);
    RegCloseKey(handle);
    return rc == ERROR_SUCCESS && size > 0 && info[0] == 'U';
}

intptr_t PlatformShell(const char* file, const char* parameters, int show) {
    return ShellExecuteA(nullptr, nullptr, file, parameters, nullptr, show);
}

HostTool HostToolFor(const std::string& iniPath, const std::string& host) {
    HostTool tool;
    tool.web = ReadSetting(iniPath, host, "Type", kDefaultType) == "http";
    if (!tool.web) return tool;
    tool.command = ReadSetting(iniPath, host, "CmdLine", kNotSet);
    if (tool.command == kNotSet) tool.command = kDefaultCommand;
    SubstitutePlaceholder(&tool.command, kPlaceholder, host);
    return tool;
}

bool RunHostAction(const LauncherContext& context, const std::string& host) {
    const HostTool tool = HostToolFor(context.iniPath, host);
    if (!tool.web) return StartTelnet(context, host);
    if (Started(context.shell(tool.command.c_str(), nullptr, SW_HIDE))) return true;
    return StartTelnet(context, host);
}

bool RunServerAction(const LauncherContext& context, const std::string& server) {
    if (!ServerIsEligible(server)) {
        if (context.warn) context.warn(kTextNotEligible);
        return false;
    }
    return RunHostAction(context, server);
}

}  // namespace launcher
