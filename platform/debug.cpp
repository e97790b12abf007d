// Debugger output. Windows hands these lines to an attached debugger; here
// they go to the sink ORB_DEBUG_OUTPUT names. The setting is read on every
// call (it is cheap), so a test may change it between two lines.
#include "platform/debug.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_mutex;
std::function<void(const std::string&)> g_sink;  // installed by tests; empty: configured one

// One call is one line: trailing line ends are the caller's habit on
// Windows and would give blank lines here.
std::string AsLine(const char* text) {
    std::string line(text);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    line += '\n';
    return line;
}

void WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n <= 0) return;  // debug output never fails the caller
        done += static_cast<size_t>(n);
    }
}

void ToFile(const char* path, const std::string& line) {
    // O_APPEND makes each line one write at the end, also between processes.
    int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) return;
    WriteAll(fd, line);
    close(fd);
}

void ToConfiguredSink(const char* text) {
    const char* config = getenv("ORB_DEBUG_OUTPUT");
    if (!config || !*config || strcmp(config, "stderr") == 0) {
        WriteAll(STDERR_FILENO, AsLine(text));
    } else if (strcmp(config, "syslog") == 0) {
        syslog(LOG_USER | LOG_DEBUG, "%s", text);
    } else if (strncmp(config, "file:", 5) == 0) {
        ToFile(config + 5, AsLine(text));
    }
    // "none" and anything unknown: dropped, as without a debugger.
}

}  // namespace

void OutputDebugStringA(LPCSTR text) {
    if (!text) return;
    try {
        std::lock_guard<std::mutex> guard(g_mutex);
        if (g_sink) {
            g_sink(text);
            return;
        }
        ToConfiguredSink(text);
    } catch (...) {
        // Output for a debugger must never break the program that writes it.
    }
}

namespace orb {

void SetDebugSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> guard(g_mutex);
    g_sink = std::move(sink);
}

}  // namespace orb
