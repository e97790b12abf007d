// How ksorbx reads its command line and chooses and tests its repository.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "publisher/app/batch_options.h"
#include "publisher/app/repository_name.h"
#include "tests/ksorbx/fake_client.h"
#include "tests/platform/scratch_dir.h"

namespace {

const char* const kApiKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Orbmap/API";
const char* const kVersionKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex\\CurrentVersion";

TEST(KsorbxCommandLine, SwitchesAreReadFromTheLowerCasedLine) {
    PublisherCommandLine named = ParsePublisherCommandLine("/D /R VaultRepo");
    EXPECT_TRUE(named.repositoryGiven);
    EXPECT_EQ(named.repository, "vaultrepo");
    EXPECT_TRUE(named.debug);

    PublisherCommandLine bare = ParsePublisherCommandLine("/r");
    EXPECT_TRUE(bare.repositoryGiven);
    EXPECT_EQ(bare.repository, "");

    EXPECT_FALSE(ParsePublisherCommandLine("").repositoryGiven);
}

TEST(KsorbxCommandLine, LongOptionsAreTakenOffBeforeTheSwitches) {
    std::string rest;
    const BatchOptions options =
        TakeBatchOptions({"--batch", "/R", "Repo", "--delete", "--yes", "/d"}, &rest);
    EXPECT_TRUE(options.batch && options.deleteFirst && options.yes && !options.noCreate);
    EXPECT_EQ(rest, "/R Repo /d");
    // "--delete" must not be mistaken for the "/d" switch.
    TakeBatchOptions({"--batch", "--delete", "--no-create"}, &rest);
    EXPECT_FALSE(ParsePublisherCommandLine(rest).debug);
}

class RepositoryNameTest : public testing::Test {
  protected:
    orbtest::ScratchDir root_;
    orbtest::ScopedEnv machine_{"ORB_MACHINE_ROOT", root_.path()};
    orbtest::ScopedEnv computer_{"ORB_COMPUTERNAME", "VAULTHOST"};
    std::vector<std::string> log_;
    PublisherLogFn log_fn_ = [this](const std::string& line) { log_.push_back(line); };
};

TEST_F(RepositoryNameTest, RegistryNamesComeBeforeTheComputerName) {
    ASSERT_EQ(orb::RegSetString(kApiKey, "DefaultRepository", "fallback"), ERROR_SUCCESS);
    EXPECT_EQ(GetRepositoryName(log_fn_), "fallback");
    ASSERT_EQ(orb::RegSetString(kApiKey, "RepositoryName", "chosen"), ERROR_SUCCESS);
    EXPECT_EQ(GetRepositoryName(log_fn_), "chosen");
    EXPECT_EQ(log_.back(), "GetRepositoryName - <chosen>");
    // A value too long for its 32-byte buffer is not read.
    ASSERT_EQ(orb::RegSetString(kApiKey, "RepositoryName", std::string(40, 'r')), ERROR_SUCCESS);
    EXPECT_EQ(GetRepositoryName(log_fn_), "fallback");
}

TEST_F(RepositoryNameTest, ComputerNameGetsTheSuffixOnlyOnA025Framework) {
    EXPECT_EQ(GetRepositoryName(log_fn_), "VAULTHOST");
    ASSERT_EQ(orb::RegSetString(kVersionKey, "InstallType", "Workgroup"), ERROR_SUCCESS);
    EXPECT_EQ(GetRepositoryName(log_fn_), "VAULTHOST");
    ASSERT_EQ(orb::RegSetString(kVersionKey, "InstallType", "Full025x"), ERROR_SUCCESS);
    EXPECT_EQ(GetRepositoryName(log_fn_), "VAULTHOST_ORBDB");
    EXPECT_NE(std::find(log_.begin(), log_.end(), "Orb Framework 025 Installed"), log_.end());
}

class ProbeTest : public testing::Test {
  protected:
    void SetUp() override { fakeclient::Reset(); }
    std::string Probe(const std::string& line) {
        return ProbeRepository(fakeclient::Context(&messages_), ParsePublisherCommandLine(line));
    }
    std::vector<std::string> messages_;
};

TEST_F(ProbeTest, CapitalNameReachesTheConnectionInLowerCaseAndNothingStaysOpen) {
    EXPECT_EQ(Probe("/R SALES"), "sales");
    EXPECT_EQ(fakeclient::State().connectedTo, "sales");
    EXPECT_EQ(fakeclient::State().kernelsOpen, 0);
    EXPECT_EQ(fakeclient::State().connectionsOpen, 0);
    EXPECT_TRUE(messages_.empty());
}

TEST_F(ProbeTest, BareSwitchTakesTheFrameworksDefault) {
    fakeclient::State().defaultName = "orbdefault";
    EXPECT_EQ(Probe("/r"), "orbdefault");
    EXPECT_EQ(fakeclient::State().connectedTo, "orbdefault");
    fakeclient::State().enumResult = 16;  // no repository at all
    EXPECT_EQ(Probe("/r"), "");
    EXPECT_EQ(fakeclient::State().kernelsOpen, 0);
}

TEST_F(ProbeTest, CancelledConnectionFailsQuietlyOtherFailuresTellTheOperator) {
    fakeclient::State().connectResult = ORBOM_RC_CANCEL;
    EXPECT_EQ(Probe("/r repo"), "");
    EXPECT_TRUE(messages_.empty());
    EXPECT_EQ(fakeclient::State().kernelsOpen, 0);

    fakeclient::State().connectResult = 7;
    EXPECT_EQ(Probe("/r repo"), "");
    ASSERT_EQ(messages_.size(), 1u);
    EXPECT_EQ(messages_[0], "text13:7");

    fakeclient::State().startResult = 3;
    EXPECT_EQ(Probe("/r repo"), "");
    ASSERT_EQ(messages_.size(), 2u);
    EXPECT_EQ(messages_[1], "text12:3");
}

}  // namespace
