// The service monitor: every interval it reads the state of the eight backup
// services and reports each change as a trap.
#include "snmpagent/trace.h"
#include "snmpagent/workers.h"

namespace {

// One pass over the services. The states are not readable from the agent
// yet, so a pass sees no change and sends nothing.
void monitorPass() {}

}  // namespace

void serviceMonitor() {
    agentTrace("serviceMonitor:  Entered\n");
    while (workerSleep(workerIntervals().monitorMs)) monitorPass();
}
