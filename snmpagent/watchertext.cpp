#include "snmpagent/watchertext.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The text up to the next quote into field; the position after that quote,
// or null when there is none or the text does not fit.
const char* takeQuoted(const char* p, char* field, size_t size) {
    const char* end = strchr(p, '"');
    if (!end || static_cast<size_t>(end - p) >= size) return nullptr;
    memcpy(field, p, end - p);
    field[end - p] = '\0';
    return end + 1;
}

}  // namespace

bool quantumSeconds(LONG quantum, int64_t* seconds) {
    static const int64_t kSeconds[] = {86400, 1, 60, 3600, 86400};
    if (quantum < 0 || quantum > 4) return false;
    *seconds = kSeconds[quantum];
    return true;
}

bool watcherLimitsValid(const WatcherEntry& w) {
    int64_t warnUnit = 0, critUnit = 0;
    if (w.warnTime < 0 || w.critTime < 0 || !quantumSeconds(w.warnQuantum, &warnUnit) ||
        !quantumSeconds(w.critQuantum, &critUnit))
        return false;
    return w.warnTime * warnUnit <= w.critTime * critUnit;
}

bool storableWatcherPath(const char* bytes, size_t length) {
    if (length >= kWatcherPathSize) return false;
    return !memchr(bytes, '"', length) && !memchr(bytes, '\0', length);
}

size_t formatWatcherString(const WatcherEntry& w, char* line, size_t size) {
    const size_t pathLength = strnlen(w.path, sizeof w.path);
    if (!storableWatcherPath(w.path, pathLength)) return 0;
    const int n = snprintf(line, size, "\"%s\",\"%d\",\"%d\",\"%d\",\"%d\"", w.path,
                           static_cast<int>(w.warnTime), static_cast<int>(w.warnQuantum),
                           static_cast<int>(w.critTime), static_cast<int>(w.critQuantum));
    return n > 0 && static_cast<size_t>(n) < size ? static_cast<size_t>(n) : 0;
}

bool parseWatcherString(const char* text, WatcherEntry* entry, WatcherNumberTexts* numbers) {
    if (*text != '"') return false;
    const char* p = takeQuoted(text + 1, entry->path, sizeof entry->path);
    WatcherNumberTexts own;
    WatcherNumberTexts& fields = numbers ? *numbers : own;
    for (auto& field : fields.field) {
        if (!p || strncmp(p, ",\"", 2) != 0) return false;
        p = takeQuoted(p + 2, field, sizeof field);
    }
    if (!p) return false;
    entry->warnTime = strtol(fields.field[0], nullptr, 10);
    entry->warnQuantum = strtol(fields.field[1], nullptr, 10);
    entry->critTime = strtol(fields.field[2], nullptr, 10);
    entry->critQuantum = strtol(fields.field[3], nullptr, 10);
    entry->status = 1;
    int64_t unused = 0;
    return quantumSeconds(entry->warnQuantum, &unused) &&
           quantumSeconds(entry->critQuantum, &unused);
}
