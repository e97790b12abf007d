// The watcher check: every interval it rates each backup-history watcher and
// reports a change of the worst rating as a trap.
#include "snmpagent/trace.h"
#include "snmpagent/workers.h"

namespace {

// One pass over the watchers. None can be loaded yet, so the worst rating
// stays OK and nothing is sent.
void checkPass() {}

}  // namespace

void historyStatus() {
    agentTrace("historyStatus: Entered\n");
    do {
        checkPass();
        agentTrace("historyStatus: Going to sleep for 5 minutes.\n");
    } while (workerSleep(workerIntervals().watcherMs));
}
