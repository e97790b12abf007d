// Wakeup over an eventfd, and the terminate-signal handler that uses it.
#include "platform/wakeup.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace orb {

namespace {

// The handler may touch only lock-free atomics.
std::atomic<Wakeup*> g_stopWakeup{nullptr};
std::atomic<bool> g_stopRequested{false};

extern "C" void OnTerminateSignal(int) {
    g_stopRequested.store(true);
    if (Wakeup* wakeup = g_stopWakeup.load()) wakeup->Signal();
}

}  // namespace

Wakeup::Wakeup() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

Wakeup::~Wakeup() {
    if (g_stopWakeup.load() == this) g_stopWakeup.store(nullptr);
    if (fd_ >= 0) close(fd_);
}

void Wakeup::Signal() noexcept {
    const uint64_t one = 1;
    // A full counter (2^64-2 signals pending) is still readable: nothing lost.
    if (fd_ >= 0) (void)!write(fd_, &one, sizeof one);
}

uint64_t Wakeup::Drain() noexcept {
    uint64_t count = 0;
    if (fd_ < 0 || read(fd_, &count, sizeof count) != static_cast<ssize_t>(sizeof count)) return 0;
    return count;
}

void StopOnTerminateSignals(Wakeup* wakeup) {
    g_stopWakeup.store(wakeup);
    struct sigaction action {};
    action.sa_handler = OnTerminateSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool StopRequested() { return g_stopRequested.load(); }

void RequestStop() { OnTerminateSignal(0); }

}  // namespace orb
