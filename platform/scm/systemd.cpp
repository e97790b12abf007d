// Services of the host, driven with systemctl. Each service name is a unit
// name ("NWSDBEngine" is NWSDBEngine.service), unless the machine's registry
// names another unit for it: the value "SystemdUnit" of
// "SYSTEM\\CurrentControlSet\\Services\\NAME" (the SNMP service "SNMP" is
// the unit that runs snmphost). systemctl's exit codes follow
// the LSB status conventions: 0 active, 3 not running, 4 no such unit.
// Starts and stops do not block: the unit reports its progress through later
// queries, as a Windows service does.
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/registry.h"
#include "platform/scm.h"

namespace orb {
namespace {

constexpr DWORD kSystemctlTimeoutMs = 30000;
constexpr DWORD kLsbNoSuchUnit = 4;
constexpr DWORD kSystemctlUnitNotFound = 5;  // start/stop of an unknown unit
constexpr DWORD kNotStarted = 0xFFFFFFFF;

std::string Systemctl() {
    const char* command = std::getenv("ORB_SYSTEMCTL");
    return command != nullptr && command[0] != '\0' ? command : "systemctl";
}

// Runs systemctl with its output discarded (its status pages would fill the
// SNMP service's log); the unit name is an argument, never shell text.
DWORD RunSystemctl(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"/bin/sh", "-c", "\"$0\" \"$@\" >/dev/null 2>&1",
                                     Systemctl()};
    argv.insert(argv.end(), args.begin(), args.end());
    Process process;
    if (!StartProgram(argv, "", &process)) return kNotStarted;
    DWORD exitCode = kNotStarted;
    if (!WaitProcess(process, kSystemctlTimeoutMs, &exitCode)) {
        KillProcess(process);
        return kNotStarted;
    }
    return exitCode;
}

std::string UnitOf(const std::string& name) {
    std::string unit;
    if (RegGetString("SYSTEM\\CurrentControlSet\\Services\\" + name, "SystemdUnit", &unit) ==
            ERROR_SUCCESS &&
        !unit.empty())
        return unit;
    return name;
}

class SystemdServiceManager : public ServiceManager {
public:
    DWORD Exists(const std::string& name) override {
        SERVICE_STATUS status;
        return Query(name, &status);
    }

    DWORD Query(const std::string& name, SERVICE_STATUS* status) override {
        DWORD code = RunSystemctl({"status", "--no-pager", "--", UnitOf(name)});
        if (code == kNotStarted) return ERROR_FILE_NOT_FOUND;
        if (code == kLsbNoSuchUnit) return ERROR_SERVICE_DOES_NOT_EXIST;
        *status = SERVICE_STATUS{};
        status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status->dwCurrentState = code == 0 ? SERVICE_RUNNING : SERVICE_STOPPED;
        status->dwControlsAccepted = code == 0 ? SERVICE_ACCEPT_STOP : 0;
        return ERROR_SUCCESS;
    }

    DWORD Start(const std::string& name) override {
        SERVICE_STATUS status;
        DWORD code = Query(name, &status);
        if (code != ERROR_SUCCESS) return code;
        if (status.dwCurrentState == SERVICE_RUNNING) return ERROR_SERVICE_ALREADY_RUNNING;
        return Control("start", name);
    }

    DWORD Stop(const std::string& name) override {
        SERVICE_STATUS status;
        DWORD code = Query(name, &status);
        if (code != ERROR_SUCCESS) return code;
        if (status.dwCurrentState == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
        return Control("stop", name);
    }

    // Units are installed by the host's packages, not through this interface.
    DWORD Create(const std::string&, const std::string&, const std::string&) override { return ERROR_NOT_SUPPORTED; }
    DWORD Remove(const std::string&) override { return ERROR_NOT_SUPPORTED; }

private:
    static DWORD Control(const char* verb, const std::string& name) {
        DWORD code = RunSystemctl({verb, "--no-block", "--", UnitOf(name)});
        if (code == 0) return ERROR_SUCCESS;
        if (code == kSystemctlUnitNotFound) return ERROR_SERVICE_DOES_NOT_EXIST;
        if (code == kNotStarted) return ERROR_FILE_NOT_FOUND;
        // Anything else is systemd refusing us (no privilege, a failing unit).
        return ERROR_ACCESS_DENIED;
    }
};

}  // namespace

std::unique_ptr<ServiceManager> MakeSystemdServiceManager() {
    return std::make_unique<SystemdServiceManager>();
}

}  // namespace orb
