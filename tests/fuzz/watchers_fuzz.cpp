// Fuzzes the registry value "Watchers": any multi-string loads without a
// crash, each watcher loaded from it writes back to a string that loads to
// the same watcher, the form's limit check takes any of them, and a path the
// form accepts survives the same trip.
// fuzz-sources: snmpagent/watchertext.cpp
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "snmpagent/watchertext.h"

namespace {

bool Same(const WatcherEntry& a, const WatcherEntry& b) {
    return strcmp(a.path, b.path) == 0 && a.warnTime == b.warnTime &&
           a.warnQuantum == b.warnQuantum && a.critTime == b.critTime &&
           a.critQuantum == b.critQuantum;
}

// Writes the watcher out and loads the string again: it must be the same.
void RoundTrip(const WatcherEntry& entry) {
    char line[kWatcherTextSize];
    const size_t length = formatWatcherString(entry, line, sizeof line);
    if (length == 0 || strlen(line) != length) abort();
    WatcherEntry back{};
    if (!parseWatcherString(line, &back) || !Same(entry, back)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The value as stored: strings up to the first empty one.
    const std::string value(reinterpret_cast<const char*>(data), size);
    for (size_t at = 0; at < value.size() && value[at] != '\0';) {
        const std::string text = value.substr(at, value.find('\0', at) - at);
        at += text.size() + 1;
        WatcherEntry entry{};
        if (!parseWatcherString(text.c_str(), &entry)) continue;
        RoundTrip(entry);
        // The form's limit check takes any stored numbers, in any order; an
        // entry it accepts names two ages, the warning one first.
        if (watcherLimitsValid(entry) && (entry.warnTime < 0 || entry.critTime < 0)) abort();
    }

    // The input as a path set through the form.
    if (storableWatcherPath(reinterpret_cast<const char*>(data), size)) {
        WatcherEntry entry{};
        memcpy(entry.path, data, size);
        entry.warnTime = size > 0 ? -static_cast<LONG>(data[0]) : 0;
        entry.warnQuantum = static_cast<LONG>(size % 5);
        entry.critTime = static_cast<LONG>(size) * 1000003;
        entry.critQuantum = 4;
        RoundTrip(entry);
    }
    return 0;
}
