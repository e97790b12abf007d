// Events, threads, sleeping and the Win32 time calls, all on the current
// clock so that tests can run them on virtual time.
#include "platform/sync.h"

#include <exception>
#include <limits>
#include <string>

#include "platform/debug.h"

namespace orb {

uint64_t DeadlineAfter(Clock& clock, DWORD timeoutMs) {
    if (timeoutMs == INFINITE) return std::numeric_limits<uint64_t>::max();
    return clock.NowMs() + timeoutMs;
}

Event::Event(bool manualReset, bool initialState) : manual_(manualReset), signalled_(initialState) {}

void Event::Set() {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = true;
    // All waiters wake; for an auto-reset event the first one to get the
    // lock takes the signal and the others see it gone and wait again.
    cv_.notify_all();
}

void Event::Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = false;
}

bool Event::Wait(DWORD timeoutMs) {
    Clock& clock = CurrentClock();
    uint64_t deadline = DeadlineAfter(clock, timeoutMs);
    std::unique_lock<std::mutex> lock(mutex_);
    bool got = signalled_ ||
               (timeoutMs != 0 && clock.WaitUntil(cv_, lock, deadline, [this] { return signalled_; }));
    if (got && !manual_) signalled_ = false;
    return got;
}

bool Event::IsSet() {
    std::lock_guard<std::mutex> guard(mutex_);
    return signalled_;
}

namespace {

// An exception must not leave a thread (it would end the process), so the
// body's escapes are reported on the debugger output and swallowed.
void RunGuarded(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        OutputDebugStringA((std::string("orb::Thread - uncaught exception: ") + e.what()).c_str());
    } catch (...) {
        OutputDebugStringA("orb::Thread - uncaught exception");
    }
}

}  // namespace

Thread::Thread(std::function<void()> body) : thread_(RunGuarded, std::move(body)) {}

Thread::Thread(Thread&& other) noexcept : thread_(std::move(other.thread_)) {}

Thread& Thread::operator=(Thread&& other) noexcept {
    if (this != &other) {
        if (thread_.joinable()) thread_.join();
        thread_ = std::move(other.thread_);
    }
    return *this;
}

Thread::~Thread() {
    if (thread_.joinable()) thread_.join();
}

bool Thread::Joinable() const { return thread_.joinable(); }

void Thread::Join() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void Thread::Detach() {
    if (thread_.joinable()) thread_.detach();
}

void SleepMs(DWORD ms) {
    if (ms == 0) {
        std::this_thread::yield();
        return;
    }
    Clock& clock = CurrentClock();
    std::mutex mutex;
    std::condition_variable_any cv;
    std::unique_lock<std::mutex> lock(mutex);
    clock.WaitUntil(cv, lock, DeadlineAfter(clock, ms), [] { return false; });
}

}  // namespace orb

DWORD GetTickCount() { return static_cast<DWORD>(orb::CurrentClock().NowMs()); }

void Sleep(DWORD ms) { orb::SleepMs(ms); }

void GetLocalTime(SYSTEMTIME* out) {
    if (!out) return;
    uint64_t ms = orb::CurrentClock().WallTimeMs();
    time_t seconds = static_cast<time_t>(ms / 1000);
    struct tm local{};
    localtime_r(&seconds, &local);
    out->wYear = static_cast<WORD>(local.tm_year + 1900);
    out->wMonth = static_cast<WORD>(local.tm_mon + 1);
    out->wDayOfWeek = static_cast<WORD>(local.tm_wday);
    out->wDay = static_cast<WORD>(local.tm_mday);
    out->wHour = static_cast<WORD>(local.tm_hour);
    out->wMinute = static_cast<WORD>(local.tm_min);
    out->wSecond = static_cast<WORD>(local.tm_sec);
    out->wMilliseconds = static_cast<WORD>(ms % 1000);
}
