// The publisher's log file.
#include "publisher/PublisherLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "backup/kstool/kstool.h"
#include "platform/filelock.h"
#include "platform/machine.h"
#include "platform/sync.h"
#include "publisher/Notice.h"

namespace publisher {
namespace {

constexpr size_t kLineSize = 640;  // whole line, terminator included
constexpr size_t kDirSize = 260;   // "LOG" is read into MAX_PATH bytes

std::string LogDirectory() {
    char buffer[kDirSize] = {};
    std::string dir = KsToolGetLogDirectory(buffer, sizeof buffer) == ERROR_SUCCESS && buffer[0]
                          ? buffer
                          : orb::TempDirectory();
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    return dir;
}

// Stamp, message cut to what is left, and the line end.
size_t BuildLine(const char* message, char (&line)[kLineSize]) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char date[16];
    char time[16];
    std::snprintf(date, sizeof date, "%02u/%02u/%02u", now.wMonth % 100u, now.wDay % 100u,
                  now.wYear % 100u);
    std::snprintf(time, sizeof time, "%02u:%02u:%02u", now.wHour % 100u, now.wMinute % 100u,
                  now.wSecond % 100u);
    int head = std::snprintf(line, sizeof line, "%s %s\t", date, time);
    size_t room = sizeof line - static_cast<size_t>(head) - 3;
    size_t used = std::strlen(message);
    if (used > room) used = room;
    std::memcpy(line + head, message, used);
    std::memcpy(line + head + used, "\r\n", 3);
    return static_cast<size_t>(head) + used + 2;
}

}  // namespace

std::string LogFilePath() {
    if (!KsToolDebugSwitchOn()) return "";
    return LogDirectory() + "/EBOrbInt.log";
}

void WriteLog(const char* message) {
    std::string path = LogFilePath();
    if (path.empty()) return;
    char line[kLineSize];
    size_t length = BuildLine(message == nullptr ? "" : message, line);
    DWORD error = orb::AppendLocked(path, line, length);
    if (error != ERROR_SUCCESS) ShowNotice(SystemErrorText(error) + path);
}

void WriteLogF(const char* format, ...) {
    char message[kLineSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(message, sizeof message, format, args);
    va_end(args);
    WriteLog(message);
}

}  // namespace publisher
