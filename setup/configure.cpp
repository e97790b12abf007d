// The steps that change the machine around installation and removal: the
// integration key, the SNMP extension-agent registration with a restart of
// the SNMP service, the reboot request, the configuration tool, and the
// master setup's silent configuration file.
#include <filesystem>
#include <string>

#include "platform/dynload.h"
#include "platform/errortext.h"
#include "platform/machine.h"
#include "platform/pathsearch.h"
#include "platform/process.h"
#include "platform/sync.h"
#include "platform/ui.h"
#include "setup/OrbfGUI.h"
#include "setup/actions.h"

using namespace orbf;

namespace {

// How long the SNMP service gets to let go of the agent before its list changes.
constexpr DWORD kSnmpSettleMs = 3000;

// A progress text: to the master setup's mailslot in master-setup mode,
// else into the status window.
class Progress {
  public:
    Progress(MSIHANDLE install, bool master) : install_(install), master_(master) {}
    void Report(const std::string& text) {
        if (!master_) {
            window_.Show(text);
            return;
        }
        const std::string computer = orb::ComputerName();
        const std::string product = Property(install_, "PRODNAME");
        CRemoteMailslot::SendStatus(computer.c_str(), 3, 1, product.c_str(), text.c_str());
        LogLine(install_, " mailslot - %s", computer + "\\3\\1\\" + product);
    }
    StatusWindow& Window() { return window_; }

  private:
    MSIHANDLE install_;
    bool master_;
    StatusWindow window_;
};

void StopSnmp() { CService().StopService(kSnmpService, 1, 0); }
void StartSnmp() { CService().StartServiceA(kSnmpService, 1); }

// PostInstall steps 11 and 12.
void HandleReboot(MSIHANDLE install) {
    std::string reboot = Property(install, "REBOOT");
    if (reboot.find("Force") != std::string::npos) {
        LogLine(install, "PostInstall() - REBOOT flag is < %s >", reboot);
    } else if (!MsiGetMode(install, MSIRUNMODE_REBOOTNOW) &&
               !MsiGetMode(install, MSIRUNMODE_REBOOTATEND)) {
        return;
    }
    MsiSetMode(install, MSIRUNMODE_REBOOTATEND, FALSE);
    MsiSetMode(install, MSIRUNMODE_REBOOTNOW, FALSE);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, CKestRegistry::m_sVaultlineKey, 0, KEY_ALL_ACCESS, &key) !=
        ERROR_SUCCESS) {
        LogLine(install, "PostInstall() - Open registry %s when need reboot system!", "error");
        return;
    }
    DWORD one = 1;
    RegSetValueExA(key, "Reboot", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(key);
}

std::string ConfigToolCommand(const std::string& installPath) {
    return installPath + "\\Bin\\" + kConfigTool;
}

}  // namespace

namespace orbf {

bool RunProgram(const std::string& commandLine, const std::string& workingDir) {
    orb::Process process;
    if (!orb::StartProcess(commandLine, workingDir, &process)) return false;
    DWORD exitCode = 0;
    orb::WaitProcess(process, INFINITE, &exitCode);
    if (exitCode != 0) {
        // The system's text for the code; a code it has none for is named.
        std::string text = orb::SystemErrorText(exitCode);
        if (text.empty())
            text =
                "The program " + commandLine + " ended with code " + std::to_string(exitCode) + ".";
        MessageBoxA(nullptr, text.c_str(), Text(1509).c_str(), MB_OK | MB_ICONERROR);
    }
    return true;
}

}  // namespace orbf

extern "C" UINT PreInstall(MSIHANDLE install) {
    InitSetupSettings(install, 0);
    return 0;
}

extern "C" UINT PostInstall(MSIHANDLE install) {
    const bool master = Property(install, "MASTERSETUP") == "1";
    InitSetupSettings(install, 0);
    CKestRegistry registry;
    registry.AddVaultlineKey(kIntegrationSubkey);
    const DWORD all = 0xFFFFFFFF;
    registry.SetVaultlineKeyValue(kIntegrationSubkey, "Support", REG_DWORD,
                                  reinterpret_cast<const BYTE*>(&all), sizeof(all));
    SendStatus(4, 2);
    Progress progress(install, master);
    if (!master) progress.Window().Open("");
    CService services;
    if (services.IsStarted(kSnmpService)) {
        progress.Report(Text(1707));
        StopSnmp();
        LogLine(install, "PostInstall() - %s", "Stopping SNMP Service...");
    }
    const std::string pathname = registry.GetVaultlineHomeDir() + "\\lmEBAgent.dll";
    if (!RegisterAgent(pathname)) {
        progress.Report(Text(1699));
        if (!master) progress.Window().Close();
        StartSnmp();
        return ORBF_REFUSED;
    }
    if (!master) progress.Window().Show(Text(1699));
    StartSnmp();
    LogLine(install, "PostInstall() - %s", "Starting SNMP Service...");
    if (master) {
        LogLine(install, "PostInstall() - %s", "Success exist postinstall from mastersetup");
        return 0;
    }
    std::string uiLevel;
    ReadProperty(install, "UILevel", 10, &uiLevel);
    if (uiLevel != "2") {
        progress.Window().Show("Config Sentinex integration..");
        LogLine(install, "PostInstall() - Silent Mode=%s", "FALSE");
        std::string installPath;
        if (FrameworkInstallPath(&installPath)) {
            const std::string command = ConfigToolCommand(installPath);
            LogLine(install, "PostInstall() - Launch %s", command);
            RunProgram(command, installPath);
        }
    }
    progress.Window().Close();
    HandleReboot(install);
    return 0;
}

extern "C" UINT PreUninstall(MSIHANDLE install) {
    InitSetupSettings(install, 1);
    if (!Settings().IsVaultlineInstalled()) {
        std::string fieldkit = Environment("FIELDKIT_DIR", 260);
        if (!fieldkit.empty()) SetProperty(install, "ORBFDIR", fieldkit);
    }
    CKestRegistry().DeleteVaultlineKey(kIntegrationSubkey);
    CService services;
    if (!services.ServiceExists(kSnmpService)) return 0;
    StatusWindow window;
    // A service the operator had stopped stays stopped: removing the agent
    // is no reason to run it.
    const bool wasRunning = services.IsStarted(kSnmpService);
    if (wasRunning) {
        window.Open(Text(1707));
        StopSnmp();
    }
    Sleep(kSnmpSettleMs);
    const bool removed = RemoveAgent();
    window.Show(Text(1699));
    if (wasRunning) StartSnmp();
    return removed ? ORBF_REFUSED : 0;
}

extern "C" int CreateSilentConfigIni(LPCSTR, LPCSTR, LPCSTR, LPCSTR, LPCSTR path) {
    if (path == nullptr || path[0] == '\0') return 0;
    std::string target = path;
    if (target.back() == '\\' || target.back() == '/') target += CSetupIcf::m_sDefaultFilename;
    target = orb::ToSlashes(target);
    std::error_code error;
    if (std::filesystem::exists(target, error)) return 0;
    const std::string source = orb::ProgramDirectory() + "/" + CSetupIcf::m_sDefaultFilename;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing,
                               error);
    return error ? 0 : 1;
}

extern "C" int GetPostConfigInfo(LPCSTR machine, LPCSTR, LPCSTR, LPSTR message) {
    if (IsRemote(machine)) {
        CopyMessage(FormatText(Text(1756), {kConfigTool, machine}), message, ORBF_MESSAGE_SIZE);
        return 1;
    }
    if (!OrbmapPresent(nullptr)) return 1;
    std::string installPath;
    if (!FrameworkInstallPath(&installPath)) return 0;
    if (RunProgram(ConfigToolCommand(installPath), installPath)) return 1;
    CopyMessage(FormatText(Text(3893), {Text(1509), Text(1509)}), message, ORBF_MESSAGE_SIZE);
    return 0;
}
