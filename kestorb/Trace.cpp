// Trace file selection and line writing.
#include "kestorb/Trace.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "backup/kstool/kstool.h"
#include "platform/machine.h"

namespace kest {
namespace {

constexpr size_t kMessageSize = 512;  // formatted message, terminator included
constexpr size_t kLineSize = 496;     // whole stamped line, terminator included

// "LOG" of the product's Path key, when it can be read and is not over-long.
std::string LogDirectory() {
    char dir[MAX_PATH + 1] = {};
    return KsToolGetLogDirectory(dir, sizeof dir) == ERROR_SUCCESS ? dir : "";
}

// dir + "/KestOrb.TRC" into path when it fits.
bool JoinTraceFile(std::string dir, char (&path)[kTracePathSize]) {
    if (dir.empty()) return false;
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    std::string file = dir + "/KestOrb.TRC";
    if (file.size() >= kTracePathSize) return false;
    std::memcpy(path, file.c_str(), file.size() + 1);
    return true;
}

void Append(const char* path, const char* text, size_t length) {
    if (path == nullptr || path[0] == '\0') return;
    KsToolAppendTrace(path, text, static_cast<DWORD>(length));
}

}  // namespace

void ChooseTraceFile(char (&path)[kTracePathSize]) {
    path[0] = '\0';
    if (!KsToolDebugSwitchOn()) return;
    if (!JoinTraceFile(LogDirectory(), path)) JoinTraceFile(orb::TempDirectory(), path);
}

void ChooseFallbackTraceFile(char (&path)[kTracePathSize]) {
    path[0] = '\0';
    JoinTraceFile(orb::TempDirectory(), path);
}

void TraceStamped(const char* path, const char* format, va_list args) {
    if (path == nullptr || path[0] == '\0') return;
    char message[kMessageSize];
    std::vsnprintf(message, sizeof message, format, args);
    char line[kLineSize];
    Append(path, line, KsToolFormatLogLine(message, line, sizeof line));
}

void TraceBare(const char* path, const char* format, va_list args) {
    if (path == nullptr || path[0] == '\0') return;
    char line[kMessageSize + 1];
    int n = std::vsnprintf(line, kMessageSize, format, args);
    size_t used = n < 0 ? 0 : std::min(static_cast<size_t>(n), kMessageSize - 1);
    line[used] = '\n';
    Append(path, line, used + 1);
}

}  // namespace kest
