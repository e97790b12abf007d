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

namespace {

constexpr const char* kWatchersValue = "Watchers";
constexpr size_t kBytesPerWatcher = 1128;

// The text up to the next quote into field; the position after that quote,
// or null when there is none or the text does not fit.
const char* takeQuoted(const char* p, char* field, size_t size) {
    const char* end = strchr(p, '"');
    if (!end || static_cast<size_t>(end - p) >= size) return nullptr;
    memcpy(field, p, end - p);
    field[end - p] = '\0';
    return end + 1;
}

void traceWatcher(const char* format, const WatcherEntry& w) {
    agentTrace(format, w.path, static_cast<int>(w.warnTime), static_cast<int>(w.warnQuantum),
               static_cast<int>(w.critTime), static_cast<int>(w.critQuantum));
}

HKEY openAgentKey(const char* traceLine) {
    HKEY key = nullptr;
    const LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAgentKey, 0, KEY_ALL_ACCESS, &key);
    agentTrace(traceLine, kAgentKey, static_cast<int>(rc));
    return rc == ERROR_SUCCESS ? key : nullptr;
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
        if (parseWatcherString(text.c_str(), &entry))
            historyInsert(entry);
        else
            agentTrace("buildWatcherList: malformed watcher skipped\n");
        p += length + 1;
    }
}

}  // namespace

bool parseWatcherString(const char* text, WatcherEntry* entry) {
    if (*text != '"') return false;
    const char* p = takeQuoted(text + 1, entry->path, sizeof entry->path);
    char fields[4][32];
    for (auto& field : fields) {
        if (!p || strncmp(p, ",\"", 2) != 0) return false;
        p = takeQuoted(p + 2, field, sizeof field);
    }
    if (!p) return false;
    agentTrace("buildWatcherList: uri=%s, wt=%s, wq=%s, ct=%s, cq=%s\n", entry->path, fields[0],
               fields[1], fields[2], fields[3]);
    entry->warnTime = strtol(fields[0], nullptr, 10);
    entry->warnQuantum = strtol(fields[1], nullptr, 10);
    entry->critTime = strtol(fields[2], nullptr, 10);
    entry->critQuantum = strtol(fields[3], nullptr, 10);
    entry->status = 1;
    int64_t unused = 0;
    return quantumSeconds(entry->warnQuantum, &unused) &&
           quantumSeconds(entry->critQuantum, &unused);
}

LONG buildWatcherList() {
    agentTrace("buildWatcherList: Entered.\n");
    HKEY key = openAgentKey("buildWatcherList: Opened up key %s, result=%d\n");
    if (!key) return ERROR_FILE_NOT_FOUND;
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

LONG rebuildWatcherList() {
    agentTrace("rebuildWatcherList: Entered.\n");
    std::vector<BYTE> data;
    {
        std::lock_guard<orb::CriticalSection> hold(historyLock());
        data.reserve(watcherList().count * kBytesPerWatcher + 1);
        for (auto* w = listNextAs<WatcherEntry>(&watcherList(), nullptr); w;
             w = listNextAs(&watcherList(), w)) {
            traceWatcher("rebuildWatcherList: URI=\"%s\", warnT=%d, warnQ=%d, critT=%d, critQ=%d\n",
                         *w);
            char line[kBytesPerWatcher];
            const int n = snprintf(line, sizeof line, "\"%s\",\"%d\",\"%d\",\"%d\",\"%d\"", w->path,
                                   static_cast<int>(w->warnTime), static_cast<int>(w->warnQuantum),
                                   static_cast<int>(w->critTime), static_cast<int>(w->critQuantum));
            data.insert(data.end(), line, line + n + 1);
        }
        data.push_back(0);
    }
    const char* openLine = "rebuildWatcherList: Opened up key %s, result=%d\n";
    HKEY key = openAgentKey(openLine);
    if (!key) key = openAgentKey(openLine);
    if (!key) return ERROR_FILE_NOT_FOUND;
    RegDeleteValueA(key, kWatchersValue);
    const LONG rc = RegSetValueExA(key, kWatchersValue, 0, REG_MULTI_SZ, data.data(),
                                   static_cast<DWORD>(data.size()));
    agentTrace("rebuildWatcherList: SetValue for Watchers result=%d\n", static_cast<int>(rc));
    RegCloseKey(key);
    agentTrace("rebuildWatcherList: Leaving.\n");
    return 0;
}
