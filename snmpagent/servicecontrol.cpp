#include "snmpagent/servicecontrol.h"

#include <sstream>
#include <string>

#include "platform/scm.h"
#include "platform/sync.h"
#include "snmpagent/trace.h"

namespace {

// The wait for a service to reach running or stopped: a pause between
// queries so the manager is not hammered, and a limit after which the
// service counts as failed and the next one is taken.
constexpr DWORD kPollPauseMs = 100;
constexpr uint64_t kWaitLimitMs = 60000;

struct Handles {
    SC_HANDLE manager = nullptr;
    SC_HANDLE service = nullptr;
    ~Handles() {
        if (service) CloseServiceHandle(service);
        if (manager) CloseServiceHandle(manager);
    }
    bool open(const char* name) {
        manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
        if (manager) service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
        return service != nullptr;
    }
};

// Queries until the state is reached: 0, the query's error, or a time-out.
DWORD waitForState(SC_HANDLE service, DWORD wanted, const char* queryFailedLine) {
    orb::Clock& clock = orb::CurrentClock();
    const uint64_t deadline = clock.NowMs() + kWaitLimitMs;
    for (;;) {
        SERVICE_STATUS status{};
        if (!QueryServiceStatus(service, &status)) {
            const DWORD error = GetLastError();
            agentTrace(queryFailedLine, static_cast<int>(error));
            return error;
        }
        if (status.dwCurrentState == wanted) return 0;
        if (clock.NowMs() >= deadline) {
            agentTrace("serviceControl: state %d not reached, service skipped\n",
                       static_cast<int>(wanted));
            return ERROR_SERVICE_REQUEST_TIMEOUT;
        }
        orb::SleepMs(kPollPauseMs);
    }
}

DWORD startService(const char* name) {
    agentTrace("_StartupService: Starting service %s\n", name);
    Handles handles;
    if (!handles.open(name) || !StartServiceA(handles.service, 0, nullptr)) {
        const DWORD error = GetLastError();
        agentTrace("_StartupService: startservice return rc=%d\n", static_cast<int>(error));
        return error;
    }
    return waitForState(handles.service, SERVICE_RUNNING,
                        "_StartupService: queryServiceStatus return rc=%d\n");
}

DWORD stopService(const char* name) {
    Handles handles;
    SERVICE_STATUS status{};
    if (!handles.open(name) || !ControlService(handles.service, SERVICE_CONTROL_STOP, &status)) {
        const DWORD error = GetLastError();
        agentTrace("_ShutdownService: controlservice return rc=%d\n", static_cast<int>(error));
        return error;
    }
    return waitForState(handles.service, SERVICE_STOPPED,
                        "_ShutdownService: queryServiceStatus return rc=%d\n");
}

}  // namespace

UINT controlServiceList(const char* services, bool start) {
    std::istringstream list(services ? services : "");
    std::string name;
    // Strictly one after another; a service that refuses is skipped.
    while (std::getline(list, name, ',')) {
        if (name.empty()) continue;
        if (start)
            startService(name.c_str());
        else
            stopService(name.c_str());
    }
    return SNMP_ERRORSTATUS_NOERROR;
}
