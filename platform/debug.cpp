// Debugger output. Windows hands these lines to an attached debugger; here
// they go to the sink ORB_DEBUG_OUTPUT names. The setting is read on every
// call (it is cheap), so a test may change it between two lines.
#include "platform/debug.h"
#include "platform/privatefs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <syslog.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

// The file sink keeps its file open from one line to the next: opening it
// for every line cost more than writing the line. A file that was removed or
// replaced in between (an operator rotating it) is opened again by name.
class SinkFile {
  public:
    // The descriptor to write path's lines to; -1 when it cannot be opened.
    int For(const char* path) {
        if (fd_ >= 0 && path_ == path && (discards_ || SameFile(path))) return fd_;
        Close();
        fd_ = orb::OpenPrivateFile(path, O_WRONLY | O_APPEND);
        struct stat st {};
        if (fd_ < 0 || fstat(fd_, &st) != 0) {
            Close();
            return -1;
        }
        path_ = path;
        device_ = st.st_dev;
        inode_ = st.st_ino;
        discards_ = S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 3);
        return fd_;
    }
    // The open file is the null device: nothing written there is ever read.
    bool Discards() const { return discards_; }

  private:
    bool SameFile(const char* path) const {
        struct stat st {};
        return stat(path, &st) == 0 && st.st_dev == device_ && st.st_ino == inode_;
    }
    void Close() {
        if (fd_ >= 0) close(fd_);
        fd_ = -1;
        path_.clear();
    }

    std::string path_;
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
    bool discards_ = false;
};

// Never destroyed: threads of loaded libraries may still write while the
// process runs its exit handlers.
struct DebugState {
    std::mutex mutex;
    std::function<void(const std::string&)> sink;  // installed by tests; empty: configured one
    SinkFile file;
};

DebugState& State() {
    static DebugState* state = new DebugState;
    return *state;
}

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

enum class SinkKind { kStderr, kSyslog, kFile, kNone };

// The configured sink; for a file, *path names it.
SinkKind ConfiguredSink(const char** path) {
    const char* config = getenv("ORB_DEBUG_OUTPUT");
    if (!config || !*config || strcmp(config, "stderr") == 0) return SinkKind::kStderr;
    if (strcmp(config, "syslog") == 0) return SinkKind::kSyslog;
    if (strncmp(config, "file:", 5) == 0) {
        *path = config + 5;
        return SinkKind::kFile;
    }
    return SinkKind::kNone;  // "none" and anything unknown: dropped, as without a debugger
}

void ToConfiguredSink(DebugState& state, const char* text) {
    const char* path = nullptr;
    switch (ConfiguredSink(&path)) {
        case SinkKind::kStderr:
            WriteAll(STDERR_FILENO, AsLine(text));
            break;
        case SinkKind::kSyslog:
            syslog(LOG_USER | LOG_DEBUG, "%s", text);
            break;
        case SinkKind::kFile:
        {
            // O_APPEND makes each line one write at the end, also between processes.
            const int fd = state.file.For(path);
            if (fd >= 0 && !state.file.Discards()) WriteAll(fd, AsLine(text));
            break;
        }
        case SinkKind::kNone:
            break;
    }
}

}  // namespace

void OutputDebugStringA(LPCSTR text) {
    if (!text) return;
    try {
        DebugState& state = State();
        std::lock_guard<std::mutex> guard(state.mutex);
        if (state.sink) {
            state.sink(text);
            return;
        }
        ToConfiguredSink(state, text);
    } catch (...) {
        // Output for a debugger must never break the program that writes it.
    }
}

namespace orb {

void SetDebugSink(std::function<void(const std::string&)> sink) {
    DebugState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    state.sink = std::move(sink);
}

bool DebugOutputWanted() {
    DebugState& state = State();
    std::lock_guard<std::mutex> guard(state.mutex);
    if (state.sink) return true;
    const char* path = nullptr;
    switch (ConfiguredSink(&path)) {
        case SinkKind::kNone:
            return false;
        case SinkKind::kFile:
            return state.file.For(path) >= 0 && !state.file.Discards();
        default:
            return true;
    }
}

}  // namespace orb
