// The real publishing engine behind the dialog, Start after Start in one
// session: each Start's worker thread runs its own pass and reports its end,
// however the last pass ended and whenever the new thread gets to run.
#include <gtest/gtest.h>

#include <memory>

#include "platform/sync.h"
#include "publisher/app/publish_engine.h"
#include "tests/platform/scratch_dir.h"

namespace {

TEST(PublishEngine, EveryStartAfterAStopRunsItsPassAndReportsItsEnd) {
    orbtest::ScratchDir root;
    orbtest::ScopedEnv machine("ORB_MACHINE_ROOT", root.path());
    std::unique_ptr<PassEngine> engine = MakePublishEngine({});
    // Each pass ends at once (the library cannot open a repository that is
    // not there), and the dialog stops it after its end, as after WM_USER+2:
    // the stop and start events Stop sets then find no thread to take them.
    constexpr int kStarts = 1000;
    for (int start = 0; start < kStarts; ++start) {
        ASSERT_TRUE(engine->CreateWorker());
        orb::Event ended(true, false);
        int failed = -1;
        PassRequest request;
        request.repository = "missing";
        engine->Release(request, {}, [&](int result) {
            failed = result;
            ended.Set();
        });
        if (!ended.Wait(10000)) {
            // The thread ended without its pass; a Stop would wait for ever.
            (void)engine.release();
            FAIL() << "Start " << start << " never ran its pass";
        }
        EXPECT_EQ(failed, 1);
        engine->StopThread();
        engine->DestroyWorker();
    }
}

}  // namespace
