// The clocks: the real one and the virtual one tests drive. Every wait of the
// system (events, sleeps) ends up in Clock::WaitUntil, so swapping the clock
// swaps time for the whole process.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <limits>
#include <list>

#include "platform/sync.h"

namespace orb {
namespace {

// A deadline this large means "no deadline" (INFINITE waits).
constexpr uint64_t kNoDeadline = std::numeric_limits<uint64_t>::max();

class RealClock : public Clock {
public:
    uint64_t NowMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
    time_t WallTime() override { return time(nullptr); }
    uint64_t WallTimeMs() override {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    }
    bool WaitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock,
                   uint64_t deadlineMs, const std::function<bool()>& pred) override {
        if (deadlineMs == kNoDeadline) {
            cv.wait(lock, pred);
            return true;
        }
        std::chrono::steady_clock::time_point deadline{std::chrono::milliseconds(deadlineMs)};
        return cv.wait_until(lock, deadline, pred);
    }
};

std::atomic<Clock*> g_clock{nullptr};

}  // namespace

// Never destroyed, like every object a library's threads reach in a call:
// those threads may still sleep on it while the process runs its exit handlers.
Clock& SystemClock() {
    static RealClock* clock = new RealClock;
    return *clock;
}

Clock& CurrentClock() {
    Clock* clock = g_clock.load(std::memory_order_acquire);
    return clock ? *clock : SystemClock();
}

void SetClock(Clock* clock) { g_clock.store(clock, std::memory_order_release); }

// The virtual clock keeps one list of sleepers. A sleeper checks its deadline
// while holding both its own lock and the clock's mutex, and hands both over
// to the condition variable in one step; Advance notifies under the clock's
// mutex. So an Advance either happens before the check (the sleeper sees the
// new time) or after the sleeper is inside wait (it gets the notify): no
// wake-up is lost. Lock order is always caller's lock, then clock mutex.
struct VirtualClock::State {
    struct Sleeper {
        std::condition_variable_any* cv;
        uint64_t deadline;
    };
    std::mutex mutex;
    uint64_t nowMs = 0;
    time_t startWall;
    std::list<Sleeper> sleepers;
};

namespace {

// Unlocks and relocks the caller's lock and the clock's mutex together, so
// that the condition variable releases both atomically with its own wait.
class BothLocks {
public:
    BothLocks(std::unique_lock<std::mutex>& outer, std::unique_lock<std::mutex>& inner)
        : outer_(outer), inner_(inner) {}
    void lock() {
        outer_.lock();
        inner_.lock();
    }
    void unlock() {
        inner_.unlock();
        outer_.unlock();
    }

private:
    std::unique_lock<std::mutex>& outer_;
    std::unique_lock<std::mutex>& inner_;
};

}  // namespace

VirtualClock::VirtualClock(time_t startWallTime) : state_(std::make_unique<State>()) {
    state_->startWall = startWallTime;
}

VirtualClock::~VirtualClock() = default;

uint64_t VirtualClock::NowMs() {
    std::lock_guard<std::mutex> guard(state_->mutex);
    return state_->nowMs;
}

time_t VirtualClock::WallTime() { return static_cast<time_t>(WallTimeMs() / 1000); }

uint64_t VirtualClock::WallTimeMs() {
    std::lock_guard<std::mutex> guard(state_->mutex);
    return static_cast<uint64_t>(state_->startWall) * 1000 + state_->nowMs;
}

bool VirtualClock::WaitUntil(std::condition_variable_any& cv, std::unique_lock<std::mutex>& lock,
                             uint64_t deadlineMs, const std::function<bool()>& pred) {
    if (pred()) return true;
    std::unique_lock<std::mutex> inner(state_->mutex);
    auto self = state_->sleepers.insert(state_->sleepers.end(), State::Sleeper{&cv, deadlineMs});
    BothLocks both(lock, inner);
    bool result = false;
    for (;;) {
        if (state_->nowMs >= deadlineMs) break;
        cv.wait(both);
        // pred() may read this clock, so it runs with the clock's mutex free.
        inner.unlock();
        result = pred();
        inner.lock();
        if (result) break;
    }
    state_->sleepers.erase(self);
    inner.unlock();
    return result || pred();
}

void VirtualClock::Advance(uint64_t ms) {
    std::lock_guard<std::mutex> guard(state_->mutex);
    state_->nowMs += ms;
    for (const auto& sleeper : state_->sleepers) {
        if (sleeper.deadline <= state_->nowMs) sleeper.cv->notify_all();
    }
}

int VirtualClock::Waiters() {
    std::lock_guard<std::mutex> guard(state_->mutex);
    return static_cast<int>(state_->sleepers.size());
}

}  // namespace orb
