// The publisher dialog's run flow with a stand-in pass: what Start does for
// each combination of the check boxes, how progress and the end of a pass
// reach the dialog, and Stop in the middle of a long table.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>

#include "platform/dynload.h"
#include "platform/resource.h"
#include "platform/sync.h"
#include "publisher/app/PublisherDlg.h"
#include "publisher/app/batch_options.h"
#include "tests/ksorbx/fake_client.h"

namespace {

// What the stand-in pass was asked to do, kept by the test.
struct PassLog {
    bool deleteResult = true;
    int deletes = 0;
    int workers = 0;
    uint32_t records = 5;  // records in the discovery table
    int endWith = 0;       // 0 success, 1 failure
    std::atomic<uint32_t> processed{0};
    std::string repository;
};

// Publishes `records` records on its own thread, one per stop-check, and
// always reports its end as WM_USER+2 would (also after a stop).
class FakePass : public PassEngine {
  public:
    explicit FakePass(PassLog* log) : log_(log) {}
    ~FakePass() override {
        if (thread_) StopThread();
    }
    bool DeletePublished(const std::string&) override {
        ++log_->deletes;
        return log_->deleteResult;
    }
    bool CreateWorker() override {
        ++log_->workers;
        return true;
    }
    void Release(const PassRequest& request, ProgressFn progress, EndFn end) override {
        log_->repository = request.repository;
        stop_.Reset();
        thread_ = std::make_unique<orb::Thread>([this, progress, end] {
            uint32_t done = 0;
            while (done < log_->records && !stop_.Wait(done < 3 ? 0 : 1)) {
                ++done;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    progress_ = {"record " + std::to_string(done), done, done / 2};
                }
                log_->processed = done;
                progress();
            }
            end(log_->endWith);
        });
    }
    bool HasThread() const override { return thread_ != nullptr; }
    void StopThread() override {
        stop_.Set();
        thread_.reset();
    }
    void DestroyWorker() override {}
    PassProgress Progress() override {
        std::lock_guard<std::mutex> lock(mutex_);
        return progress_;
    }
    std::string Repository() override { return log_->repository; }

  private:
    PassLog* log_;
    orb::Event stop_{true, false};
    std::unique_ptr<orb::Thread> thread_;
    std::mutex mutex_;
    PassProgress progress_;
};

class PublisherDialogTest : public testing::Test {
  protected:
    void SetUp() override {
        fakeclient::Reset();
        resources_ = LoadLibraryA("NWOrbIntRes.dll");
        ASSERT_NE(resources_, nullptr);
    }
    void TearDown() override {
        if (resources_ != nullptr) FreeLibrary(resources_);
    }
    std::string Text(UINT id) {
        char buffer[256] = {};
        LoadStringA(resources_, id, buffer, sizeof buffer);
        return buffer;
    }
    std::unique_ptr<CPublisherDlg> Dialog(const std::string& line) {
        return std::make_unique<CPublisherDlg>(
            resources_, ParsePublisherCommandLine(line), fakeclient::Context(&messages_),
            std::make_unique<FakePass>(&pass_), "help.htm");
    }
    // Runs the dialog in batch mode with `script`; its printed lines are dropped.
    void Run(CPublisherDlg& dialog, orb::BatchScript script) {
        FILE* sink = std::fopen("/dev/null", "w");
        auto frontEnd = orb::MakeBatchFrontEnd(std::move(script), true, sink);
        dialog.RunModal(*frontEnd);
        std::fclose(sink);
    }
    orb::BatchScript Script(bool deleteFirst, bool create) {
        BatchOptions options;
        options.deleteFirst = deleteFirst;
        options.noCreate = !create;
        return PublisherBatchScript(options);
    }

    HMODULE resources_ = nullptr;
    PassLog pass_;
    std::vector<std::string> messages_;
};

TEST_F(PublisherDialogTest, AWholePassShowsItsProgressAndEndsDone) {
    auto dialog = Dialog("/r repo");
    Run(*dialog, Script(false, true));
    EXPECT_EQ(dialog->Outcome(), 0);
    EXPECT_FALSE(dialog->Running());
    EXPECT_EQ(dialog->ItemText(kStatus), Text(9));
    EXPECT_EQ(dialog->Item(kProcessed)->value, 5);
    EXPECT_EQ(dialog->Item(kCreated)->value, 2);
    EXPECT_TRUE(dialog->IsItemEnabled(kClose));
}

TEST_F(PublisherDialogTest, CheckBoxesDecideBetweenDeletingAndPublishing) {
    auto onlyDelete = Dialog("/r repo");
    Run(*onlyDelete, Script(true, false));
    EXPECT_EQ(pass_.deletes, 1);
    EXPECT_EQ(pass_.workers, 0);
    EXPECT_EQ(onlyDelete->Outcome(), 0);

    pass_.deleteResult = false;  // declined: nothing is published
    auto declined = Dialog("/r repo");
    Run(*declined, Script(true, true));
    EXPECT_EQ(pass_.deletes, 2);
    EXPECT_EQ(pass_.workers, 0);
    EXPECT_EQ(declined->Outcome(), 1);

    // Neither box: only the repository test, and only while no name is stored.
    fakeclient::Reset();
    auto neither = Dialog("/r repo");
    orb::BatchScript twice = {{orb::BatchStep::Uncheck, kCreateObjects, 0, {}},
                              {orb::BatchStep::Press, kStartStop, 0, {}},
                              {orb::BatchStep::Press, kStartStop, 0, {}}};
    Run(*neither, twice);
    EXPECT_EQ(fakeclient::State().connects, 1);
    EXPECT_EQ(neither->Repository(), "repo");
    EXPECT_EQ(pass_.workers, 0);
}

TEST_F(PublisherDialogTest, CancelledConnectionLeavesTheDialogIdleWithoutAMessage) {
    fakeclient::State().connectResult = ORBOM_RC_CANCEL;
    auto dialog = Dialog("/r repo");
    Run(*dialog, Script(false, true));
    EXPECT_EQ(dialog->Outcome(), 1);
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(pass_.workers, 0);
}

TEST_F(PublisherDialogTest, StopInALongTableEndsBeforeTheNextRecordAndSaysStopped) {
    pass_.records = 100000;
    auto dialog = Dialog("/r repo");
    orb::BatchScript script = {
        {orb::BatchStep::Press, kStartStop, 0, {}},
        {orb::BatchStep::WaitFor, kProcessed, 0,
         [](const orb::Dialog& d) { return d.Item(kProcessed)->value >= 3; }},
        {orb::BatchStep::Press, kStartStop, 0, {}},
        {orb::BatchStep::End, 0, IDCANCEL, {}}};
    Run(*dialog, script);
    EXPECT_LT(pass_.processed.load(), pass_.records);
    // The end the stopped pass still posted must not turn this into "done".
    EXPECT_EQ(dialog->ItemText(kStatus), Text(11));
    EXPECT_TRUE(dialog->IsItemEnabled(kStartStop));
}

}  // namespace
