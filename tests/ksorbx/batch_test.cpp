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

TEST_F(KsorbxBatchTest, ARepositoryTestWithNothingElseToDoSucceeds) {
    EXPECT_EQ(Run({"--batch", "--no-create", "/r", "vaultrepo"}), 0) << output_;
    EXPECT_EQ(Run({"--batch", "--no-create", "/r", "norepo"}), 1) << output_;
}

// ksorbx in a folder of its own beside the build's libraries, with the object
// library missing, then one that lacks an export: the pass fails, and a
// script learns why on standard error.
TEST_F(KsorbxBatchTest, AnObjectLibraryThatCannotBeBoundIsNamed) {
    orbtest::ScratchDir bin;
    for (const auto& entry : std::filesystem::directory_iterator(orbtest::BinDir())) {
        const std::string name = entry.path().filename().string();
        if (name == "libKestOrb.so") continue;
        // The program is copied: its folder is where it really lies.
        if (name == "ksorbx")
            std::filesystem::copy_file(entry.path(), bin / name);
        else
            std::filesystem::create_symlink(entry.path(), bin / name);
    }
    program_ = bin / "ksorbx";
    EXPECT_EQ(Run({"--batch", "/r", "vaultrepo"}), 1);
    EXPECT_NE(output_.find("ksorbx: the object library KestOrb.DLL cannot be loaded"),
              std::string::npos)
        << output_;

    std::filesystem::copy_file(
        std::string(PUBLISHER_STUB_DIR) + "/missing_KestBPVPopulateVLT_SAN/libKestOrb.so",
        bin / "libKestOrb.so");
    EXPECT_EQ(Run({"--batch", "/r", "vaultrepo"}), 1);
    EXPECT_NE(output_.find("ksorbx: the object library KestOrb.DLL lacks a function the pass "
                           "needs"),
              std::string::npos)
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
