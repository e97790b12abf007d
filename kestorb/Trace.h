// Trace output to "KestOrb.TRC". Two line shapes share the file: the
// library's own lines carry a time stamp ("%s %s\t%s\r\n"), the wrapper
// classes' lines are the bare message and a line feed. Every line opens the
// file, appends and closes it again, so several contexts and processes can
// share one file; a file that cannot be opened drops the line silently.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "platform/win32.h"

namespace kest {

// Length of the trace path buffers (MAX_PATH, terminator included).
inline constexpr size_t kTracePathSize = MAX_PATH;

// The trace file for a new context: empty when "Debug" is not exactly 1.
// The path fits kTracePathSize; a "LOG" directory too long for it falls back
// to the temporary directory.
void ChooseTraceFile(char (&path)[kTracePathSize]);
// The file a trace without "LOG" goes to (the temporary directory), for what
// must be recorded when "Debug" itself cannot be read.
void ChooseFallbackTraceFile(char (&path)[kTracePathSize]);

// One time-stamped library line; messages that would make the line longer
// than 495 characters are cut.
void TraceStamped(const char* path, const char* format, va_list args);
// One bare line of at most 511 message characters and a line feed.
void TraceBare(const char* path, const char* format, va_list args);

}  // namespace kest
