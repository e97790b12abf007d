// The watcher check: every interval it rates each backup-history watcher and
// reports a change of the worst rating as a trap.
#include "snmpagent/trace.h"
#include "snmpagent/trap.h"
#include "snmpagent/watchers.h"
#include "snmpagent/workers.h"

namespace {

constexpr BYTE kHistoryTrap = 17;

// One pass, under the history lock for its whole run: a SET that arrives
// meanwhile waits for the pass.
void checkPass() {
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    LONG worst = 1;
    if (watcherList().count > 0) {
        worst = 0;
        for (auto* w = listNextAs<WatcherEntry>(&watcherList(), nullptr); w;
             w = listNextAs(&watcherList(), w)) {
            agentTrace(
                "historyStatus: lebCheckBackupDate URI=\"%s\", warnT=%d, warnQ=%d, "
                "critT=%d, critQ=%d\n",
                w->path, static_cast<int>(w->warnTime), static_cast<int>(w->warnQuantum),
                static_cast<int>(w->critTime), static_cast<int>(w->critQuantum));
            const LONG status = checkWatcher(w);
            if (status > worst) worst = status;
        }
    }
    if (worst != historyMaxStatus()) sendTrap(kHistoryTrap);
    setHistoryMaxStatus(worst);
}

}  // namespace

void historyStatus() {
    agentTrace("historyStatus: Entered\n");
    do {
        checkPass();
        agentTrace("historyStatus: Going to sleep for 5 minutes.\n");
    } while (workerSleep(workerIntervals().watcherMs));
}
