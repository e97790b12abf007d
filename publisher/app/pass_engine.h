// What the publisher's dialog asks of the publishing pass: a worker per
// Start, one worker thread per pass, the deletion mode. The dialog knows
// only this; the program plugs in the real pass, tests their own.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

struct PassProgress {
    std::string status;
    uint32_t processed = 0;
    uint32_t created = 0;
    uint32_t failed = 0;  // records not published for the repository's sake
    // The object library's binding at the start of the pass: 0, or 4101 (no
    // library) or 4102 (a function missing) when the pass could not use it.
    int32_t bindResult = 0;
};

struct PassRequest {
    std::string repository;
    int create = 1;
    int option1013 = 1;
    int debug = 0;
};

class PassEngine {
  public:
    // Called on the worker thread: progress to show, and the end of the pass
    // (0 succeeded, 1 failed).
    using ProgressFn = std::function<void()>;
    using EndFn = std::function<void(int failed)>;

    virtual ~PassEngine() = default;
    // The deletion mode on the dialog thread; true when it ran to its end,
    // false when it failed or the operator declined.
    virtual bool DeletePublished(const std::string& repository) = 0;
    // A new worker for the next pass; false when none can be made.
    virtual bool CreateWorker() = 0;
    // Starts a worker thread when none exists and releases it on `request`.
    virtual void Release(const PassRequest& request, ProgressFn progress, EndFn end) = 0;
    virtual bool HasThread() const = 0;
    // Asks the thread to stop, waits for its last action and forgets it.
    virtual void StopThread() = 0;
    virtual void DestroyWorker() = 0;
    // The last progress the worker thread reported (any thread).
    virtual PassProgress Progress() = 0;
    // The repository as the last pass left it: empty when the library could
    // not open it, so that the next Start tests the repository again.
    virtual std::string Repository() = 0;
};
