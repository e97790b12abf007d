#include "snmpagent/watchers.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "snmpagent/mibtree.h"
#include "snmpagent/registration.h"
#include "snmpagent/serverquery.h"
#include "snmpagent/trace.h"

namespace {

constexpr int kPathExists = 17;

int registerRow(const char* traceName, int row) {
    int rc = 0;
    for (int column = 1; column <= kWatcherColumns; ++column) {
        char oidText[kMibOidTextSize];
        snprintf(oidText, sizeof oidText, "%s.1.1.%d.%d", kWatcherTableText, column, row);
        agentTrace("%s: Inserting OID=%s\n", traceName, oidText);
        rc = mibInsert(oidText, &kHistoryEntry);
    }
    return rc;
}

}  // namespace

orb::CriticalSection& historyLock() {
    static auto* lock = new orb::CriticalSection;
    return *lock;
}

AgentList& watcherList() {
    static auto* list = new AgentList{};
    return *list;
}

LONG checkWatcher(WatcherEntry* watcher) {
    int64_t warnUnit = 0, critUnit = 0;
    // Quanta are checked on the way in; an unknown one here rates as days.
    if (!quantumSeconds(watcher->warnQuantum, &warnUnit)) warnUnit = 86400;
    if (!quantumSeconds(watcher->critQuantum, &critUnit)) critUnit = 86400;
    int status = 0;
    lebCheckBackupDate(watcher->path, watcher->warnTime * warnUnit, watcher->critTime * critUnit,
                       &status);
    watcher->status = status;
    return status;
}

WatcherEntry* findWatcher(const char* path) {
    for (auto* w = listNextAs<WatcherEntry>(&watcherList(), nullptr); w;
         w = listNextAs(&watcherList(), w))
        if (strcmp(w->path, path) == 0) return w;
    return nullptr;
}

WatcherEntry* watcherAt(UINT position) {
    UINT i = 0;
    for (auto* w = listNextAs<WatcherEntry>(&watcherList(), nullptr); w;
         w = listNextAs(&watcherList(), w), ++i)
        if (i == position) return w;
    return nullptr;
}

int historyInsert(const WatcherEntry& watcher) {
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    if (findWatcher(watcher.path)) return kPathExists;
    auto* entry = new (std::nothrow) WatcherEntry{};
    if (!entry) return ENOMEM;
    memcpy(entry->path, watcher.path, sizeof entry->path);
    entry->path[sizeof entry->path - 1] = '\0';
    entry->warnTime = watcher.warnTime;
    entry->warnQuantum = watcher.warnQuantum;
    entry->critTime = watcher.critTime;
    entry->critQuantum = watcher.critQuantum;
    entry->status = watcher.status;
    listAppend(&watcherList(), &entry->link);
    return registerRow("historyInsert", watcherList().count - 1);
}

int historyDelete(const char* path) {
    agentTrace("historyDelete: Entered URI=%s\n", path);
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    WatcherEntry* watcher = findWatcher(path);
    if (!watcher) {
        agentTrace("historyDelete: Count not find entry in table\n");
        return kPathExists;
    }
    agentTrace("historyDelete: Deleteing the history table\n");
    char tableText[kMibOidTextSize];
    snprintf(tableText, sizeof tableText, "%s.1", kWatcherTableText);
    mibRemove(tableText);
    agentTrace("historyDelete: Deleteing the element from the list\n");
    listUnlink(&watcherList(), &watcher->link);
    delete watcher;
    agentTrace("historyDelete: rebuilding the history table\n");
    for (int row = 0; row < watcherList().count; ++row) registerRow("historyTable", row);
    agentTrace("historyDelete: leaving\n");
    return 0;
}
