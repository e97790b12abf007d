// Events, threads, locks and time. Every wait and sleep goes through the
// platform clock, so code that sleeps for minutes can be tested with a
// virtual clock in milliseconds: tests install orb::VirtualClock and move it
// forward; waits with a time-out end when virtual time passes their deadline.
#pragma once

#include <condition_variable>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/win32.h"

namespace orb {

// Time source for tick counts, local time and waiting.
class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start, as GetTickCount (wraps at 2^32).
    virtual uint64_t NowMs() = 0;
    // Seconds since the epoch, as time().
    virtual time_t WallTime() = 0;
    // Milliseconds since the epoch (for the milliseconds of local time).
    virtual uint64_t WallTimeMs() { return static_cast<uint64_t>(WallTime()) * 1000; }
    // Waits on cv (lock held) until pred() or NowMs() >= deadlineMs.
    // Returns pred() at the end.
    virtual bool WaitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock,
                           uint64_t deadlineMs, const std::function<bool()>& pred) = 0;
};

// The real clock (steady clock, system time).
Clock& SystemClock();
// The clock in force; SystemClock() unless a test installed another.
Clock& CurrentClock();
// Installs a clock (null restores the system clock). For tests.
void SetClock(Clock* clock);

// A clock that moves only when told. Waiters wake when Advance passes their
// deadline. WallTime starts at the given epoch second.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(time_t startWallTime = 1700000000);
    ~VirtualClock() override;
    uint64_t NowMs() override;
    time_t WallTime() override;
    uint64_t WallTimeMs() override;
    bool WaitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock,
                   uint64_t deadlineMs, const std::function<bool()>& pred) override;
    void Advance(uint64_t ms);
    // Number of threads currently waiting on this clock, waits without a
    // time-out included (lets a test wait until a worker has gone to sleep
    // before advancing).
    int Waiters();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Win32-style event: auto reset (one waiter released per Set, then cleared)
// or manual reset (stays set until Reset).
class Event {
public:
    explicit Event(bool manualReset = false, bool initialState = false);
    void Set();
    void Reset();
    // true when signalled, false on time-out. timeoutMs = INFINITE waits forever.
    bool Wait(DWORD timeoutMs = INFINITE);
    bool IsSet();

private:
    std::mutex mutex_;
    std::condition_variable_any cv_;
    bool manual_;
    bool signalled_;
};

// Critical section: a recursive mutex, EnterCriticalSection/Leave.
using CriticalSection = std::recursive_mutex;

// A thread of the system (the only place std::thread is used).
class Thread {
public:
    Thread() = default;
    explicit Thread(std::function<void()> body);
    Thread(Thread&&) noexcept;
    Thread& operator=(Thread&&) noexcept;
    ~Thread();  // joins when still joinable
    bool Joinable() const;
    void Join();
    void Detach();

private:
    std::thread thread_;
};

// Sleep on the current clock.
void SleepMs(DWORD ms);

// Deadline on the current clock for a wait of timeoutMs (INFINITE: none).
uint64_t DeadlineAfter(Clock& clock, DWORD timeoutMs);

}  // namespace orb

DWORD GetTickCount();
void Sleep(DWORD ms);

// Local time as SYSTEMTIME (from the current clock).
struct SYSTEMTIME {
    WORD wYear, wMonth, wDayOfWeek, wDay, wHour, wMinute, wSecond, wMilliseconds;
};
void GetLocalTime(SYSTEMTIME* out);
