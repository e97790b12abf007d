// What the installer actions share: texts, the installer session, the setup
// settings, the platform and product tests, the status window and the
// extension-agent registration.
#pragma once

#include <string>
#include <vector>

#include "backup/setupcls/setupcls.h"
#include "platform/dynload.h"
#include "platform/msi.h"

namespace orb {
class Dialog;
}

namespace orbf {

// Keys and names of the framework and the SNMP service.
inline constexpr const char* kFrameworkKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex\\CurrentVersion\\";
inline constexpr const char* kMajorVersionPath =
    "SOFTWARE\\NorwindSystems\\NW-Sentinex\\CurrentVersion\\MajorVersion";
inline constexpr const char* kOrbmapKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap";
inline constexpr const char* kSnmpService = "SNMP";
inline constexpr const char* kSnmpServiceKey = "System\\CurrentControlset\\Services\\SNMP";
inline constexpr const char* kAgentListKey =
    "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";
inline constexpr const char* kConfigTool = "OrbConfig.exe";
inline constexpr const char* kIntegrationSubkey = "OrbIntegration";
inline constexpr const char* kSetupLogFile = "C:\\ORBF.LOG";

// Texts (texts.cpp).
void SetResourceModule(HINSTANCE module);
HINSTANCE ResourceModule();
std::string Text(unsigned id);
// "%s" and "%d" take the next argument (missing ones are empty), "%%" is
// "%"; nothing else is interpreted, so no text can read past its arguments.
std::string FormatText(const std::string& format, const std::vector<std::string>& args);
// Cut to size - 1 characters, always terminated (size 0: nothing).
void CopyMessage(const std::string& text, LPSTR buffer, size_t size);

// The installer session (session.cpp).
// The property as read into a buffer of `size` bytes; "" when the read fails.
std::string Property(MSIHANDLE install, const char* name, DWORD size = MAX_PATH);
bool ReadProperty(MSIHANDLE install, const char* name, DWORD size, std::string* value);
void SetProperty(MSIHANDLE install, const char* name, const std::string& value);
// The format with its one argument, cut to 255 characters, as an information
// message of the installation.
void LogLine(MSIHANDLE install, const char* format, const std::string& argument);
// The environment variable when set and shorter than size; else "".
std::string Environment(const char* name, DWORD size);

// The library's one settings object (settings.cpp).
CSettings& Settings();
void InitSetupSettings(MSIHANDLE install, int mode);
void SendStatus(int phase, int state);

// Platform and product tests (checks.cpp).
bool IsRemote(LPCSTR machine);
bool IsWindows51(LPCSTR machine);
bool OrbmapPresent(LPCSTR machine);
bool SnmpPresent(LPCSTR machine);
bool IntegrationPresent(LPCSTR machine);
// 0, 813 or 838.
unsigned BackupProductCheck();
// The major byte of "VLVCTL.DLL" in setupDir (ending with a separator;
// empty: the settings' setup directory) equals the product's version byte.
bool MediaMajorEqual(const tagProductStruct& product, const std::string& setupDir);
std::string MediaInf(const std::string& setupDir);
// The framework's "InstallPath"; false when its key does not open.
bool FrameworkInstallPath(std::string* path);

// The status window (statuswindow.cpp): dialog 727 of the resource module,
// control 538 the current step.
class StatusWindow {
  public:
    ~StatusWindow();
    void Open(const std::string& text);
    void Show(const std::string& text);
    void Close();
    bool IsOpen() const { return open_; }

  private:
    bool open_ = false;
    orb::Dialog* dialog_ = nullptr;
};

// The extension-agent registration (agents.cpp).
struct AgentEntry {
    unsigned long long number = 0;
    std::string name;  // "__noname__" for the unnamed value
    std::string data;
    bool unnamed = false;  // a value may really be named like the placeholder
};
std::vector<AgentEntry> ListAgents();
std::string AgentKeyPath();
// true: registered now; false: it was registered already.
bool RegisterAgent(const std::string& pathname);
// true: a registration was removed.
bool RemoveAgent();

// Running a program to its end (postinstall.cpp): false when it did not start.
bool RunProgram(const std::string& commandLine, const std::string& workingDir);

}  // namespace orbf
