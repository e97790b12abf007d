// ksorbx --batch end to end on a private machine root with a fresh
// repository: the repository test, the deletion's confirmation and the exit
// code a script sees.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "framework/nwomapi/nwomapi.h"
#include "platform/command.h"
#include "platform/sync.h"
#include "platform/ui.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace {

class KsorbxBatchTest : public testing::Test {
  protected:
    void SetUp() override {
        program_ = orbtest::BinDir() + "/ksorbx";
        if (!std::filesystem::exists(program_)) GTEST_SKIP() << "ksorbx is not built";
        ORBOM_KERNEL kernel = 0;
        ASSERT_EQ(ORBOM_Kernel_Start("ksorbxtest", &kernel, 0), 0);
        ASSERT_EQ(ORBOM_Repository_Create(kernel, "vaultrepo"), 0);
        ORBOM_Kernel_Stop(&kernel);
    }
    int Run(std::vector<std::string> args) {
        args.insert(args.begin(), program_);
        output_.clear();
        return orb::RunCommand(args, 60000, &output_);
    }

    orbtest::ScratchDir root_;
    orbtest::ScopedEnv machine_{"ORB_MACHINE_ROOT", root_.path()};
    orbtest::ScopedEnv ui_{"ORB_UI", "batch"};
    std::string program_;
    std::string output_;
};

TEST_F(KsorbxBatchTest, ExitCodeTellsWhetherTheRunSucceeded) {
    EXPECT_EQ(Run({"--batch", "/r", "norepo"}), 1) << output_;
    // The deletion is declined without --yes, and nothing is published then.
    EXPECT_EQ(Run({"--batch", "--delete", "/R", "VAULTREPO"}), 1) << output_;
    EXPECT_EQ(Run({"--batch", "--delete", "--yes", "--no-create", "/R", "VAULTREPO"}), 0)
        << output_;
}

TEST_F(KsorbxBatchTest, ASecondStartEndsAtOnceWhileTheFirstIsOpen) {
    // The first instance waits for a button that never changes.
    orbtest::ScopedEnv script("ORB_UI_SCRIPT", "wait-disabled 9");
    orb::BackgroundCommand first;
    ASSERT_TRUE(first.Start({program_, "/r", "vaultrepo"}, root_ / "first.log"));
    const char* title = "Lumora Vaultline Orb Object Creation";
    for (int i = 0; i < 500 && FindWindowA(nullptr, title) == nullptr; ++i) orb::SleepMs(10);
    ASSERT_NE(FindWindowA(nullptr, title), nullptr);
    EXPECT_EQ(Run({"--batch", "/r", "vaultrepo"}), 1);
    EXPECT_NE(output_.find("another instance"), std::string::npos) << output_;
    EXPECT_TRUE(first.Running());
    first.Stop();
}

}  // namespace
