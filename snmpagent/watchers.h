// The backup-history watchers: files whose newest backup the agent rates
// against two age limits, kept in the registry and shown as the table
// .12.1. One re-entrant lock (the history lock) guards the list; it is taken
// before the registry lock and the trap queue's lock, never after.
#pragma once

#include <cstdint>

#include "platform/sync.h"
#include "snmpagent/agentlist.h"

inline constexpr size_t kWatcherPathSize = 1024;
inline constexpr const char* kWatcherTableText = ".1.3.6.1.4.1.58231.2.12.9.12";
inline constexpr int kWatcherColumns = 6;
// Most watchers the agent keeps: every one is checked against the backup
// server in each pass, under the history lock, and written to the registry
// with each change. Adds beyond it are refused; a longer registry value
// loads its first kMaxWatchers.
inline constexpr LONG kMaxWatchers = 100;

struct WatcherEntry {
    AgentListLink link;
    char path[kWatcherPathSize];
    LONG warnTime;
    LONG warnQuantum;
    LONG critTime;
    LONG critQuantum;
    LONG status;  // 1 OK, 2 WARNING, 3 CRITICAL, or a connect code
};

orb::CriticalSection& historyLock();
// The list; read and change it only under historyLock().
AgentList& watcherList();

// Seconds of one quantum (codes 0-4; 0 and 4 are days); false for other codes.
bool quantumSeconds(LONG quantum, int64_t* seconds);
// Rates the watcher's file now; the status (also stored in the entry).
LONG checkWatcher(WatcherEntry* watcher);

// Adds a copy of the watcher and registers its cells: 17 when the path is
// present, else the last registration's result.
int historyInsert(const WatcherEntry& watcher);
// Removes the watcher of that path and registers the rest anew, so later
// rows move up: 17 when the path is not found.
int historyDelete(const char* path);
// The watcher of that path, or null (under historyLock()).
WatcherEntry* findWatcher(const char* path);
// The watcher at that 0-based position, or null (under historyLock()).
WatcherEntry* watcherAt(UINT position);

// The registry form "Watchers": loaded once at start-up, rewritten after
// every change. Both return 0 or a registry error code. Without the agent's
// key the list is kept in memory only, and the write answers 0.
LONG buildWatcherList();
LONG rebuildWatcherList();
// Writes the list as it will be after adding `added` (at the end) and
// removing `removed` (one of the list's entries), either may be null,
// without changing the list: a change is made in memory only once it is
// saved, so that the table never shows what a restart would lose.
LONG storeWatcherList(const WatcherEntry* added, const WatcherEntry* removed);
// The strings of that value: snmpagent/watchertext.h.

// BackupMaxStatus (.12.12.0): the worst status of the last check pass.
LONG historyMaxStatus();
void setHistoryMaxStatus(LONG status);
