// The publishing pass behind the dialog: publisher::PublishRun shared with
// one worker thread per pass.
#include <memory>
#include <mutex>

#include "platform/sync.h"
#include "publisher/DeleteObjects.h"
#include "publisher/PublisherWorker.h"
#include "publisher/app/publish_engine.h"

namespace {

class PublishEngine : public PassEngine {
  public:
    explicit PublishEngine(publisher::PublisherUi ui) { run_.ui = std::move(ui); }
    ~PublishEngine() override {
        if (HasThread()) StopThread();
        DestroyWorker();
    }

    bool DeletePublished(const std::string& repository) override {
        return publisher::DeletePublishedObjects(repository, run_.ui) != 0;
    }

    bool CreateWorker() override {
        try {
            worker_ = std::make_unique<publisher::CPublisherWorker>();
        } catch (...) {
            return false;
        }
        return true;
    }

    void Release(const PassRequest& request, ProgressFn progress, EndFn end) override {
        run_.repositoryName = request.repository;
        run_.create = request.create;
        run_.option1013 = request.option1013;
        run_.debugSwitch = request.debug;
        run_.processed = 0;
        run_.created = 0;
        run_.failed = 0;
        run_.bindResult = 0;
        // The worker thread writes the run's texts; the dialog thread reads a
        // copy taken under the lock, never the text being written.
        run_.onProgress = [this, progress](publisher::PublishRun& run) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                shown_ = {run.statusText, run.processed, run.created, run.failed, run.bindResult};
            }
            if (progress) progress();
        };
        run_.onEnd = [this, end](int failed) {
            {
                std::lock_guard<std::mutex> lock(mutex_);
                shown_.bindResult = run_.bindResult;
            }
            if (end) end(failed);
        };
        run_.worker = worker_.get();
        // The last Stop left the stop and start events set when its pass had
        // already ended; a new thread must never see them, or it would take
        // them for this Start's, end without a pass and leave no done event
        // for the next Stop to wait for.
        run_.stop.Reset();
        run_.done.Reset();
        if (!thread_) {
            thread_ = std::make_unique<orb::Thread>([this] { publisher::RunThread(&run_); });
        }
        run_.start.Set();
    }

    bool HasThread() const override { return thread_ != nullptr; }

    void StopThread() override {
        run_.stop.Set();
        run_.start.Set();  // releases a thread that has not begun
        run_.done.Wait();
        thread_.reset();  // joins: the thread's last action was the done event
    }

    void DestroyWorker() override {
        run_.worker = nullptr;
        worker_.reset();
    }

    PassProgress Progress() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return shown_;
    }

    std::string Repository() override { return run_.repositoryName; }

  private:
    publisher::PublishRun run_;
    std::unique_ptr<publisher::CPublisherWorker> worker_;
    std::unique_ptr<orb::Thread> thread_;
    std::mutex mutex_;
    PassProgress shown_;
};

}  // namespace

std::unique_ptr<PassEngine> MakePublishEngine(publisher::PublisherUi ui) {
    return std::make_unique<PublishEngine>(std::move(ui));
}
