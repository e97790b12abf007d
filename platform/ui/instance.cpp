// The single-instance test by window title, across processes of one
// machine. A process that shows a dialog holds an exclusive lock on a file
// named after the title in the machine's temporary directory (the lock goes
// with the process, so a crashed instance never blocks the next start) and
// listens on a FIFO beside it. FindWindowA asks whether the lock is held;
// SetForegroundWindow writes a request into the FIFO.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>

#include "platform/instance.h"
#include "platform/machine.h"
#include "platform/privatefs.h"
#include "platform/ui/window_core.h"

namespace orb {

namespace {

constexpr char kForeground = 'F';

// Titles may hold any character; files are named by a hash of the title,
// and the lock file keeps the title itself to rule out a collision.
std::string PathFor(const std::string& title, const char* extension) {
    uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : title) hash = (hash ^ c) * 1099511628211ull;
    char name[32];
    std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(hash));
    return TempDirectory() + "/windows/" + name + extension;
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[512];
    ssize_t got;
    while ((got = pread(fd, buffer, sizeof buffer, static_cast<off_t>(text.size()))) > 0) {
        text.append(buffer, static_cast<size_t>(got));
    }
    return text;
}

// Titles this process claimed for its whole life (ClaimInstance), with the
// descriptors that hold their locks. Never closed: the lock ends with the
// process.
std::mutex g_claimsMutex;
std::map<std::string, int>& Claims() {
    static auto* claims = new std::map<std::string, int>();
    return *claims;
}

bool ClaimedForProcess(const std::string& title) {
    std::lock_guard<std::mutex> lock(g_claimsMutex);
    return Claims().count(title) != 0;
}

// Takes the title's lock in one step: open (creating) and an exclusive,
// non-blocking flock. The descriptor on success, else -1 and *held tells
// whether another process holds it.
int LockTitle(const std::string& title, bool* held) {
    *held = false;
    const std::string lockPath = PathFor(title, ".lock");
    MakePrivateDirectories(std::filesystem::path(lockPath).parent_path().string());
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return -1;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *held = errno == EWOULDBLOCK;
        close(fd);
        return -1;
    }
    if (ftruncate(fd, 0) != 0 ||
        pwrite(fd, title.data(), title.size(), 0) != static_cast<ssize_t>(title.size())) {
        // The title cannot be verified by others, but the lock still counts.
    }
    return fd;
}

}  // namespace

InstanceClaimResult ClaimInstance(const std::string& title) {
    if (title.empty()) return InstanceClaimResult::Failed;
    std::lock_guard<std::mutex> lock(g_claimsMutex);
    if (Claims().count(title) != 0) return InstanceClaimResult::Claimed;
    bool held = false;
    const int fd = LockTitle(title, &held);
    if (fd < 0) return held ? InstanceClaimResult::HeldElsewhere : InstanceClaimResult::Failed;
    Claims()[title] = fd;
    return InstanceClaimResult::Claimed;
}

InstanceClaim::InstanceClaim(const std::string& title) {
    if (title.empty()) return;  // an untitled dialog cannot be found
    // A title the process claimed already is held by that lock, which
    // outlives this dialog; a second flock on the file would fail.
    if (!ClaimedForProcess(title)) {
        bool held = false;
        lockFd_ = LockTitle(title, &held);
        if (lockFd_ < 0) return;
        ownsLock_ = true;
    }
    fifoPath_ = PathFor(title, ".fifo");
    unlink(fifoPath_.c_str());  // left by an instance that did not end cleanly
    if (mkfifo(fifoPath_.c_str(), 0600) == 0) {
        // Read and write: the FIFO never reports end of file between writers.
        fifoFd_ = open(fifoPath_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    }
}

InstanceClaim::~InstanceClaim() {
    if (fifoFd_ >= 0) {
        unlink(fifoPath_.c_str());
        close(fifoFd_);
    }
    // The lock file stays: removing it could let two starts lock two files.
    if (ownsLock_ && lockFd_ >= 0) close(lockFd_);
}

bool InstanceClaim::TakeRequests() {
    bool foreground = false;
    char buffer[64];
    ssize_t got;
    while (fifoFd_ >= 0 && (got = read(fifoFd_, buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < got; ++i) foreground = foreground || buffer[i] == kForeground;
    }
    return foreground;
}

bool TitleHeld(const std::string& title) {
    if (title.empty()) return false;
    int fd = open(PathFor(title, ".lock").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool held = false;
    if (flock(fd, LOCK_SH | LOCK_NB) == 0) {
        flock(fd, LOCK_UN);
    } else {
        held = errno == EWOULDBLOCK && ReadAll(fd) == title;
    }
    close(fd);
    return held;
}

bool RequestForeground(const std::string& title) {
    if (!TitleHeld(title)) return false;
    // Non-blocking: an instance that has no reader open fails at once.
    int fd = open(PathFor(title, ".fifo").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    bool sent = write(fd, &kForeground, 1) == 1;
    close(fd);
    return sent;
}

}  // namespace orb

HWND FindWindowA(LPCSTR /*className*/, LPCSTR title) {
    if (title == nullptr || !orb::TitleHeld(title)) return nullptr;
    return orb::RemoteWindowHandle(title);
}

BOOL ShowWindow(HWND window, int /*command*/) {
    // Front ends always show their dialog; another process's window is
    // brought forward by SetForegroundWindow.
    std::string title;
    if (orb::LocalWindow(window) != nullptr) return TRUE;
    if (orb::RemoteWindowTitle(window, &title)) return orb::TitleHeld(title) ? TRUE : FALSE;
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
}

BOOL SetForegroundWindow(HWND window) {
    std::shared_ptr<orb::WindowCore> local = orb::LocalWindow(window);
    if (local != nullptr) return local->Post({WM_ACTIVATEAPP, TRUE, 0}) ? TRUE : FALSE;
    std::string title;
    if (!orb::RemoteWindowTitle(window, &title)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return orb::RequestForeground(title) ? TRUE : FALSE;
}
