// SnmpExtensionInit: the agent's start-up. Every failure on the way is traced
// and passed over, so the agent always stays loaded and serves at least its
// constant objects, even without the backup server. The one exception is a
// damaged registry hive: the agent's settings and watchers live there, and
// running on defaults would hide the damage (and later write over it).
#include <mutex>
#include <new>

#include "platform/registry.h"
#include "snmpagent/agentroot.h"
#include "snmpagent/agentsettings.h"
#include "snmpagent/ebqrybinding.h"
#include "snmpagent/registration.h"
#include "snmpagent/searchpath.h"
#include "snmpagent/trace.h"
#include "snmpagent/trap.h"
#include "snmpagent/watchers.h"
#include "snmpagent/workers.h"

namespace {

struct StartState {
    std::once_flag once;
    HANDLE trapEvent = nullptr;
};

StartState& startState() {
    static StartState state;
    return state;
}

HANDLE createTrapEvent() {
    // Automatic reset: each wake-up of the service consumes one signal.
    HANDLE event = new (std::nothrow) orb::Event(false, false);
    if (!event) agentTrace("SnmpExtensionInit: CreateEvent Return NULL\n");
    return event;
}

void startAgent(DWORD timeZeroReference) {
    extendSearchPath();
    registerMibTable();
    HANDLE trapEvent = createTrapEvent();
    startState().trapEvent = trapEvent;
    trapsInitialize(timeZeroReference, trapEvent);
    int rc = 0;
    lebInitialize(&rc);
    if (rc != 0) agentTrace("SnmpExtensionInit: lebInitialize, RC=%d\n", rc);
    buildWatcherList();
    const AgentIntervals intervals = readAgentIntervals();
    agentTrace("SnmpExtensionInit: Starting worker threads\n");
    startWorkerThreads(intervals);
}

}  // namespace

// The service calls this once; a second call hands out the same event and
// view without starting anything again.
extern "C" BOOL SnmpExtensionInit(DWORD timeZeroReference, HANDLE* trapEvent,
                                  AsnObjectIdentifier* view) {
    agentTrace("SnmpExtensionInit: Entered\n");
    const LONG hive = orb::RegCheckHive();
    if (hive != ERROR_SUCCESS) {
        agentTrace("SnmpExtensionInit: cannot read the registry: %s; not started\n",
                   orb::RegErrorMessage(hive).c_str());
        return FALSE;
    }
    try {
        std::call_once(startState().once, startAgent, timeZeroReference);
    } catch (...) {
        agentTrace("SnmpExtensionInit: start-up failed\n");
    }
    if (trapEvent) *trapEvent = startState().trapEvent;
    if (view) {
        view->idLength = kAgentRootLength;
        view->ids = g_agentRoot;
    }
    return TRUE;
}
