// The publisher's log file.
#include "publisher/PublisherLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "backup/kstool/kstool.h"
#include "platform/machine.h"
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

}  // namespace

std::string LogFilePath() {
    if (!KsToolDebugSwitchOn()) return "";
    return LogDirectory() + "/EBOrbInt.log";
}

void WriteLog(const char* message) {
    std::string path = LogFilePath();
    if (path.empty()) return;
    char line[kLineSize];
    size_t length = KsToolFormatLogLine(message, line, sizeof line);
    DWORD error = KsToolAppendTrace(path.c_str(), line, length);
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
