// The agent's own registry key and the intervals of its worker threads.
#pragma once

#include "platform/win32.h"

inline constexpr const char* kAgentKey =
    "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\SNMPAgents\\lmEBAgent";

// Milliseconds between the passes of the worker threads. The DWORD values
// "MonitorInterval", "TableInterval" and "WatcherInterval" of kAgentKey
// shorten them for tests and demonstrations; absent or 0: these defaults.
struct AgentIntervals {
    DWORD monitorMs = 10000;   // service monitor: 10 seconds
    DWORD tableMs = 900000;    // table collectors: 15 minutes
    DWORD watcherMs = 300000;  // watcher check: 5 minutes
};

AgentIntervals readAgentIntervals();
