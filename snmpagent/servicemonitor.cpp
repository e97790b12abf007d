// The service monitor: every interval it reads the state of the eight backup
// services and reports each change as a trap.
#include "platform/scm.h"
#include "snmpagent/servicestate.h"
#include "snmpagent/trace.h"
#include "snmpagent/trap.h"
#include "snmpagent/workers.h"

namespace {

struct MonitoredService {
    const char* name;
    const char* startedLine;
    const char* stoppedLine;
    BYTE startedCode;
    BYTE stoppedCode;
};

#define MONITORED(name, label, started, stopped)                                       \
    {                                                                                  \
        name, "serviceMonitor:  Changing " label " state to Started\n",                \
            "serviceMonitor:  Changing " label " state to Stopped\n", started, stopped \
    }

// In the order of the passes. The service control server's stopped line
// carries two blanks before "state", as the product always wrote it.
constexpr MonitoredService kServices[] = {
    MONITORED("NWSDBEngine", "lmEB Database Engine", 1, 2),
    MONITORED("NWSDiscoverySvc", "lmEB Discovery Service", 3, 4),
    MONITORED("NWSUnivDomainSvr", "lmEB Domain Server", 13, 14),
    MONITORED("NWSJobEngine", "lmEB Job Engine", 5, 6),
    MONITORED("NWSMsgEngine", "lmEB Message Engine", 7, 8),
    {"NWSSvcControlSvr", "serviceMonitor:  Changing lmEB Service Control state to Started\n",
     "serviceMonitor:  Changing lmEB Service Control  state to Stopped\n", 9, 10},
    MONITORED("NWSTapeEngine", "lmEB Tape Engine", 11, 12),
    MONITORED("NWTIRPC", "NW Remote Procedure Call Server", 15, 16),
};
constexpr size_t kServiceCount = sizeof kServices / sizeof kServices[0];

#undef MONITORED

// The states seen by the last pass; 0 before the first.
struct MonitorMemory {
    DWORD states[kServiceCount] = {};
};

void monitorPass(MonitorMemory& memory) {
    for (size_t i = 0; i < kServiceCount; ++i) {
        const MonitoredService& service = kServices[i];
        const DWORD state = readServiceState(service.name, SERVICE_QUERY_STATUS);
        if (state == memory.states[i]) continue;
        const bool running = state == SERVICE_RUNNING;
        agentTrace("%s", running ? service.startedLine : service.stoppedLine);
        sendTrap(running ? service.startedCode : service.stoppedCode);
        memory.states[i] = state;
    }
}

}  // namespace

void serviceMonitor() {
    agentTrace("serviceMonitor:  Entered\n");
    MonitorMemory memory;
    while (workerSleep(workerIntervals().monitorMs)) monitorPass(memory);
}
