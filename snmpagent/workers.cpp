#include "snmpagent/workers.h"

#include <mutex>
#include <vector>

#include "platform/sync.h"

namespace {

class WorkerSet {
public:
    ~WorkerSet() {
        stop_.Set();
        for (auto& thread : threads_) thread.Join();
    }
    void start(const AgentIntervals& intervals) {
        std::lock_guard<std::mutex> hold(lock_);
        if (!threads_.empty()) return;
        intervals_ = intervals;
        for (auto body : {serviceMonitor, jobsTable, tdrvsTable, mediaTable, historyStatus})
            threads_.emplace_back(body);
    }
    const AgentIntervals& intervals() const { return intervals_; }
    bool sleep(DWORD ms) { return !stop_.Wait(ms); }

private:
    std::mutex lock_;
    AgentIntervals intervals_;
    orb::Event stop_{true, false};
    std::vector<orb::Thread> threads_;
};

WorkerSet& workers() {
    static WorkerSet set;
    return set;
}

}  // namespace

void startWorkerThreads(const AgentIntervals& intervals) {
    workers().start(intervals);
}

const AgentIntervals& workerIntervals() {
    return workers().intervals();
}

bool workerSleep(DWORD ms) {
    return workers().sleep(ms);
}
