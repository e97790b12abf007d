// The registry form of the watcher list: the multi-string "Watchers" of the
// agent's key, one "\"path\",\"warnT\",\"warnQ\",\"critT\",\"critQ\"" per watcher.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "snmpagent/agentsettings.h"
#include "snmpagent/trace.h"
#include "snmpagent/watchers.h"
#include "snmpagent/watchertext.h"

namespace {

constexpr const char* kWatchersValue = "Watchers";

void traceWatcher(const char* format, const WatcherEntry& w) {
    agentTrace(format, w.path, static_cast<int>(w.warnTime), static_cast<int>(w.warnQuantum),
               static_cast<int>(w.critTime), static_cast<int>(w.critQuantum));
}

LONG openAgentKey(const char* traceLine, HKEY* key) {
    *key = nullptr;
    const LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAgentKey, 0, KEY_ALL_ACCESS, key);
    agentTrace(traceLine, kAgentKey, static_cast<int>(rc));
    if (rc != ERROR_SUCCESS) *key = nullptr;
    return rc;
}

void loadStrings(const std::vector<BYTE>& data) {
    const char* p = reinterpret_cast<const char*>(data.data());
    const char* end = p + data.size();
    while (p < end && *p) {
        const size_t length = strnlen(p, end - p);
        const std::string text(p, length);
        agentTrace("buildWatcherList: Query value \"Watchers\"=\"%s\", Size=%d\n", text.c_str(),
                   static_cast<int>(length));
        WatcherEntry entry{};
        WatcherNumberTexts numbers;
        if (watcherList().count >= kMaxWatchers) {
            agentTrace("buildWatcherList: more than %d watchers, the rest skipped\n",
                       static_cast<int>(kMaxWatchers));
            return;
        }
        if (parseWatcherString(text.c_str(), &entry, &numbers)) {
            agentTrace("buildWatcherList: uri=%s, wt=%s, wq=%s, ct=%s, cq=%s\n", entry.path,
                       numbers.field[0], numbers.field[1], numbers.field[2], numbers.field[3]);
            historyInsert(entry);
        } else {
            agentTrace("buildWatcherList: malformed watcher skipped\n");
        }
        p += length + 1;
    }
}

}  // namespace

LONG buildWatcherList() {
    agentTrace("buildWatcherList: Entered.\n");
    HKEY key = nullptr;
    const LONG opened = openAgentKey("buildWatcherList: Opened up key %s, result=%d\n", &key);
    if (!key) return opened;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, kWatchersValue, nullptr, nullptr, nullptr, &size);
    agentTrace("buildWatcherList: Query for Watchers size=%d, result=%d\n", static_cast<int>(size),
               static_cast<int>(rc));
    if (rc != ERROR_SUCCESS || size < 3) {
        RegCloseKey(key);
        return 0;
    }
    std::vector<BYTE> data(size);
    rc = RegQueryValueExA(key, kWatchersValue, nullptr, nullptr, data.data(), &size);
    agentTrace("buildWatcherList: QueryValueEx return, result=%d\n", static_cast<int>(rc));
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return rc;
    data.resize(size);
    loadStrings(data);
    agentTrace("buildWatcherList: Leaving.\n");
    return 0;
}

LONG storeWatcherList(const WatcherEntry* added, const WatcherEntry* removed) {
    agentTrace("rebuildWatcherList: Entered.\n");
    std::vector<BYTE> data;
    {
        std::lock_guard<orb::CriticalSection> hold(historyLock());
        data.reserve((watcherList().count + 1) * kWatcherTextSize + 1);
        auto append = [&data](const WatcherEntry& w) {
            traceWatcher("rebuildWatcherList: URI=\"%s\", warnT=%d, warnQ=%d, critT=%d, critQ=%d\n",
                         w);
            char line[kWatcherTextSize];
            const size_t n = formatWatcherString(w, line, sizeof line);
            if (n) data.insert(data.end(), line, line + n + 1);
        };
        for (auto* w = listNextAs<WatcherEntry>(&watcherList(), nullptr); w;
             w = listNextAs(&watcherList(), w))
            if (w != removed) append(*w);
        if (added) append(*added);
        data.push_back(0);
    }
    const char* openLine = "rebuildWatcherList: Opened up key %s, result=%d\n";
    HKEY key = nullptr;
    LONG rc = openAgentKey(openLine, &key);
    if (!key) rc = openAgentKey(openLine, &key);
    // Without the agent's key the list lives in memory only; any other
    // failure to open it is a failure to save.
    if (!key) return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
    // One write replaces the value whole: deleting it first would lose the
    // list when the write then fails (a full disk).
    rc = RegSetValueExA(key, kWatchersValue, 0, REG_MULTI_SZ, data.data(),
                        static_cast<DWORD>(data.size()));
    agentTrace("rebuildWatcherList: SetValue for Watchers result=%d\n", static_cast<int>(rc));
    RegCloseKey(key);
    agentTrace("rebuildWatcherList: Leaving.\n");
    return rc;
}

LONG rebuildWatcherList() { return storeWatcherList(nullptr, nullptr); }
