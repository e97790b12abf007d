#include "backup/kestprod/kestprod.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "tests/platform/scratch_dir.h"

namespace {

using orbtest::ScopedEnv;
using orbtest::ScratchDir;

constexpr const char* kTopic = "Using_object_creation.htm";

class KestProdHelpTest : public testing::Test {
  protected:
    void SetUp() override {
        helpFile_ = dir_ / "Vaultline Orb.htm";
        std::ofstream(helpFile_) << "<h2 id=\"Using_object_creation.htm\">Using</h2>\n";
    }
    // An opener that records what it was given and answers `exitCode`.
    std::string InstallOpener(int exitCode) {
        std::string opener = dir_ / "opener";
        std::ofstream(opener) << "#!/bin/sh\necho \"$1\" > '" << (dir_ / "opened") << "'\nexit "
                              << exitCode << "\n";
        chmod(opener.c_str(), 0755);
        return opener;
    }
    std::string Opened() {
        std::ifstream in(dir_ / "opened");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    ScratchDir dir_;
    std::string helpFile_;
};

TEST_F(KestProdHelpTest, BatchRunsPrintWhereTheTopicIs) {
    ScopedEnv ui("ORB_UI", "batch");
    ScopedEnv opener("ORB_SHELL_OPEN", InstallOpener(0));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(KestProdHelp(nullptr, helpFile_.c_str(), KESTPROD_HELP_TOPIC, kTopic));
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed, "Help: file://" + dir_.path() + "/Vaultline%20Orb.htm#" + kTopic + "\n");
    EXPECT_EQ(Opened(), "");  // nothing was opened
}

TEST_F(KestProdHelpTest, ConsoleRunsOpenTheTopicWithTheShellOpener) {
    ScopedEnv ui("ORB_UI", "console");
    ScopedEnv opener("ORB_SHELL_OPEN", InstallOpener(0));
    // The caller may write the path with Windows separators.
    std::string windowsStyle = dir_.path() + "\\Vaultline Orb.htm";
    EXPECT_TRUE(KestProdHelp(nullptr, windowsStyle.c_str(), KESTPROD_HELP_TOPIC, kTopic));
    EXPECT_EQ(Opened(), "file://" + dir_.path() + "/Vaultline%20Orb.htm#" + kTopic + "\n");
    EXPECT_TRUE(KestProdHelp(nullptr, helpFile_.c_str(), KESTPROD_HELP_CONTENTS, nullptr));
    EXPECT_EQ(Opened(), "file://" + dir_.path() + "/Vaultline%20Orb.htm\n");
}

TEST_F(KestProdHelpTest, FailuresSayWhyAndOpenNothing) {
    ScopedEnv ui("ORB_UI", "console");
    ScopedEnv opener("ORB_SHELL_OPEN", InstallOpener(3));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(KestProdHelp(nullptr, helpFile_.c_str(), KESTPROD_HELP_TOPIC, kTopic));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    std::string missing = dir_ / "Vlmgr.hlp";
    EXPECT_FALSE(KestProdHelp(nullptr, missing.c_str(), KESTPROD_HELP_TOPIC, kTopic));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_NE(printed.find("could not be opened"), std::string::npos) << printed;
    EXPECT_NE(printed.find("not found: " + missing), std::string::npos) << printed;

    EXPECT_FALSE(KestProdHelp(nullptr, nullptr, KESTPROD_HELP_TOPIC, kTopic));
    EXPECT_FALSE(KestProdHelp(nullptr, helpFile_.c_str(), 7, kTopic));
    EXPECT_FALSE(KestProdHelp(nullptr, helpFile_.c_str(), KESTPROD_HELP_TOPIC, ""));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
