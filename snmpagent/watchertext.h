// One watcher's string in the registry value "Watchers":
//   "path","warnTime","warnQuantum","critTime","critQuantum"
// Pure text work, shared by the registry form and the SET checks, so that a
// path is accepted only when it reads back as it was written.
#pragma once

#include <cstddef>

#include "snmpagent/watchers.h"

// Longest string of one watcher, with its terminator: the path, 4 numbers
// of at most 11 characters, 10 quotes and 4 commas fit.
inline constexpr size_t kWatcherTextSize = 1128;

// The four number fields of a string as they stand, for the trace.
struct WatcherNumberTexts {
    char field[4][32];
};

// true when the watcher's limits name two ages, the warning one not beyond
// the critical one: times not below zero, known quanta.
bool watcherLimitsValid(const WatcherEntry& watcher);

// true when these bytes, as a watcher's path, survive being written and
// read back: at most 1023 bytes, without a quote (it ends the field) or a
// NUL (it ends the string). No Windows path holds either. (The form's own
// empty add path is a path too; a SET of an empty text is refused before.)
bool storableWatcherPath(const char* bytes, size_t length);

// The watcher's string into line (terminated); its length, or 0 when the
// watcher cannot be written so that it reads back the same.
size_t formatWatcherString(const WatcherEntry& watcher, char* line, size_t size);

// One string parsed into entry (status 1); false when it lacks its quotes or
// separators, its path does not fit or a quantum is unknown. numbers, when
// given, receives the four number fields as written.
bool parseWatcherString(const char* text, WatcherEntry* entry,
                        WatcherNumberTexts* numbers = nullptr);
