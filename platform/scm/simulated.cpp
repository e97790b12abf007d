// Simulated services: each one is a registry key of the machine root, so that
// every process of the machine (the SNMP service, svcctl, the tests) sees the
// same states. A start or stop is recorded as a pending state with a deadline;
// the state turns final when a query finds the deadline passed, so nothing has
// to run in the background.
//
// Values under "SYSTEM\\CurrentControlSet\\Services\\NAME":
//   "Type"            DWORD  SERVICE_WIN32_OWN_PROCESS; marks the key as a service
//   "DisplayName"     REG_SZ
//   "CurrentState"    DWORD  last state set (a pending one until its deadline)
//   "PendingUntil"    REG_SZ deadline of the pending state, service-clock ms
//   "TransitionDelay" DWORD  ms a start or stop stays pending (default 1000)
//   "ImagePath"       REG_SZ the program's command line (optional, see below)
//
// A service with an "ImagePath" runs its program: a start starts it apart
// from the caller (output appended to <root>/log/NAME.log) and records
// "ProcessId" (DWORD) and "ProcessStartTime" (REG_SZ); a stop ends it
// (SIGTERM, SIGKILL after kStopGraceMs); a query answers RUNNING exactly
// while that process runs, so a program that ended on its own reads STOPPED.
#include <cstdlib>
#include <string>

#include "platform/daemon.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/scm.h"
#include "platform/sync.h"

namespace orb {
namespace {

constexpr DWORD kDefaultTransitionDelayMs = 1000;
// How long a service program gets to end after SIGTERM.
constexpr DWORD kStopGraceMs = 10000;

std::string ServiceKey(const std::string& name) {
    return "SYSTEM\\CurrentControlSet\\Services\\" + name;
}

// Deadlines are shared between processes, so they count wall-clock
// milliseconds (a test's virtual clock moves its own wall time).
uint64_t ServiceClockMs() { return CurrentClock().WallTimeMs(); }

class SimulatedServiceManager : public ServiceManager {
public:
    DWORD Exists(const std::string& name) override {
        DWORD type = 0;
        return RegGetDword(ServiceKey(name), "Type", &type) == ERROR_SUCCESS
                   ? ERROR_SUCCESS
                   : ERROR_SERVICE_DOES_NOT_EXIST;
    }

    DWORD Query(const std::string& name, SERVICE_STATUS* status) override {
        DWORD state = 0;
        DWORD code = EffectiveState(name, &state);
        if (code != ERROR_SUCCESS) return code;
        *status = SERVICE_STATUS{};
        status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
        status->dwCurrentState = state;
        status->dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
        bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
        status->dwCheckPoint = pending ? 1 : 0;
        status->dwWaitHint = pending ? Delay(name) : 0;
        return ERROR_SUCCESS;
    }

    DWORD Start(const std::string& name) override {
        DWORD state = 0;
        DWORD code = EffectiveState(name, &state);
        if (code != ERROR_SUCCESS) return code;
        if (state == SERVICE_RUNNING || state == SERVICE_START_PENDING)
            return ERROR_SERVICE_ALREADY_RUNNING;
        if (state != SERVICE_STOPPED) return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        std::string program;
        if (ProgramOf(name, &program)) return StartProgram(name, program);
        return Transition(name, SERVICE_START_PENDING, SERVICE_RUNNING);
    }

    DWORD Stop(const std::string& name) override {
        DWORD state = 0;
        DWORD code = EffectiveState(name, &state);
        if (code != ERROR_SUCCESS) return code;
        if (state == SERVICE_STOPPED) return ERROR_SERVICE_NOT_ACTIVE;
        if (state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING)
            return ERROR_SERVICE_CANNOT_ACCEPT_CTRL;
        std::string program;
        if (ProgramOf(name, &program)) return StopProgram(name);
        return Transition(name, SERVICE_STOP_PENDING, SERVICE_STOPPED);
    }

    DWORD Create(const std::string& name, const std::string& displayName,
                 const std::string& binaryPath) override {
        if (Exists(name) == ERROR_SUCCESS) return ERROR_SERVICE_EXISTS;
        std::string key = ServiceKey(name);
        LONG code = RegSetString(key, "DisplayName", displayName);
        if (code == ERROR_SUCCESS && !binaryPath.empty())
            code = RegSetString(key, "ImagePath", binaryPath);
        if (code == ERROR_SUCCESS) code = RegSetDword(key, "CurrentState", SERVICE_STOPPED);
        if (code == ERROR_SUCCESS) code = RegSetDword(key, "Start", 3);  // demand start
        // "Type" last: the key counts as a service only once it is complete.
        if (code == ERROR_SUCCESS) code = RegSetDword(key, "Type", SERVICE_WIN32_OWN_PROCESS);
        return static_cast<DWORD>(code);
    }

    DWORD Remove(const std::string& name) override {
        if (Exists(name) != ERROR_SUCCESS) return ERROR_SERVICE_DOES_NOT_EXIST;
        // A removed service leaves no program behind that nothing could stop.
        std::string program;
        if (ProgramOf(name, &program)) StopServiceProcess(RecordedProcess(name), kStopGraceMs);
        return static_cast<DWORD>(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ServiceKey(name).c_str()));
    }

private:
    static DWORD Delay(const std::string& name) {
        DWORD delay = kDefaultTransitionDelayMs;
        RegGetDword(ServiceKey(name), "TransitionDelay", &delay);
        return delay;
    }

    static bool ProgramOf(const std::string& name, std::string* program) {
        return RegGetString(ServiceKey(name), "ImagePath", program) == ERROR_SUCCESS &&
               !program->empty();
    }

    static ServiceProcess RecordedProcess(const std::string& name) {
        ServiceProcess process;
        DWORD pid = 0;
        std::string started;
        if (RegGetDword(ServiceKey(name), "ProcessId", &pid) == ERROR_SUCCESS &&
            RegGetString(ServiceKey(name), "ProcessStartTime", &started) == ERROR_SUCCESS) {
            process.pid = static_cast<int>(pid);
            process.startTime = std::strtoull(started.c_str(), nullptr, 10);
        }
        return process;
    }

    static DWORD StartProgram(const std::string& name, const std::string& program) {
        ServiceProcess process;
        if (!StartServiceProcess(program, "", MachinePath("log/" + name + ".log"), &process))
            return GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_FILE_NOT_FOUND;
        std::string key = ServiceKey(name);
        LONG code = RegSetDword(key, "ProcessId", static_cast<DWORD>(process.pid));
        if (code == ERROR_SUCCESS)
            code = RegSetString(key, "ProcessStartTime", std::to_string(process.startTime));
        if (code == ERROR_SUCCESS) code = RegSetDword(key, "CurrentState", SERVICE_RUNNING);
        if (code != ERROR_SUCCESS) StopServiceProcess(process, kStopGraceMs);
        return static_cast<DWORD>(code);
    }

    static DWORD StopProgram(const std::string& name) {
        if (!StopServiceProcess(RecordedProcess(name), kStopGraceMs))
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        return static_cast<DWORD>(RegSetDword(ServiceKey(name), "CurrentState", SERVICE_STOPPED));
    }

    static DWORD EffectiveState(const std::string& name, DWORD* state) {
        std::string key = ServiceKey(name);
        DWORD type = 0;
        if (RegGetDword(key, "Type", &type) != ERROR_SUCCESS) return ERROR_SERVICE_DOES_NOT_EXIST;
        std::string program;
        if (ProgramOf(name, &program)) {
            *state = ServiceProcessRunning(RecordedProcess(name)) ? SERVICE_RUNNING
                                                                    : SERVICE_STOPPED;
            return ERROR_SUCCESS;
        }
        *state = SERVICE_STOPPED;
        RegGetDword(key, "CurrentState", state);
        if (*state != SERVICE_START_PENDING && *state != SERVICE_STOP_PENDING) return ERROR_SUCCESS;
        std::string until;
        RegGetString(key, "PendingUntil", &until);
        if (ServiceClockMs() >= std::strtoull(until.c_str(), nullptr, 10))
            *state = *state == SERVICE_START_PENDING ? SERVICE_RUNNING : SERVICE_STOPPED;
        return ERROR_SUCCESS;
    }

    // The deadline is written before the state, so a reader in between sees
    // the old, settled state rather than a pending one with a stale deadline.
    static DWORD Transition(const std::string& name, DWORD pending, DWORD final) {
        std::string key = ServiceKey(name);
        DWORD delay = Delay(name);
        if (delay == 0) return static_cast<DWORD>(RegSetDword(key, "CurrentState", final));
        LONG code = RegSetString(key, "PendingUntil", std::to_string(ServiceClockMs() + delay));
        if (code == ERROR_SUCCESS) code = RegSetDword(key, "CurrentState", pending);
        return static_cast<DWORD>(code);
    }
};

}  // namespace

std::unique_ptr<ServiceManager> MakeSimulatedServiceManager() {
    return std::make_unique<SimulatedServiceManager>();
}

}  // namespace orb
