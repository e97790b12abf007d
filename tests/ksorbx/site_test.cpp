// Publishers of two machines writing one repository in PostgreSQL: both
// machine roots name "vaultrepo" as the same schema of the tests' server
// and announce the same servers. Two passes publishing at once leave every
// server's object exactly once, in one container per machine, fully
// written; a publisher killed half way leaves a repository the next pass
// completes. Each pass begins by building the shared business process view
// anew, so of two started at the very same moment one may find its view
// deleted by the other and stop there: the repository stays sound.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "framework/nwomapi/nwomapi.h"
#include "platform/command.h"
#include "platform/registry.h"
#include "platform/sync.h"
#include "platform/uuid.h"
#include "tests/ksorbx/publisher_run.h"
#include "tests/pgtest/pg_scratch.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

extern char** environ;

namespace {

constexpr const char* kRepository = "vaultrepo";
#if defined(__SANITIZE_ADDRESS__)
// The sanitized programs are ten times slower; a shorter table keeps the
// suite inside its time-out and still has both publishers meet on every part.
constexpr int kServers = 200;
#else
constexpr int kServers = 2000;
#endif

class SiteTest : public testing::Test {
  protected:
    void SetUp() override {
        bin_ = orbtest::BinDir();
        if (!std::filesystem::exists(bin_ + "/ksorbx")) GTEST_SKIP() << "ksorbx is not built";
        if (orbtest::PgConnection().empty()) GTEST_SKIP() << orbtest::kPgSkip;
        for (const orbtest::ScratchDir* root : {&a_, &b_}) {
            orbtest::ScopedEnv machine("ORB_MACHINE_ROOT", root->path());
            schema_.Register(kRepository);
            orb::RegSetDword("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration",
                             "Support", 0xFFFFFFFFu);
            std::ofstream(*root / "hosts") << "127.0.0.1 localhost\n";
            publishertest::WriteDiscoveryTable(root->path(), kServers);
        }
        orbtest::ScopedEnv machine("ORB_MACHINE_ROOT", a_.path());
        // The servers' machines, once for the whole site.
        publishertest::PrepareRepository(kRepository, kServers);
    }

    // A publisher in batch mode on a machine root, its output in ksorbx.log there.
    pid_t StartPublisher(const orbtest::ScratchDir& root) {
        return publishertest::StartPublisher(
            bin_, kRepository, root / "ksorbx.log",
            {"ORB_MACHINE_ROOT=" + root.path(), "ORB_HOSTS=" + root / "hosts", "ORB_UI=batch"});
    }
    // Waits (a bounded while) until the publisher of root works on records,
    // its views built.
    static void AwaitRecords(const orbtest::ScratchDir& root) {
        for (int i = 0; i < 3000; ++i) {
            std::stringstream text;
            text << std::ifstream(root / "ksorbx.log").rdbuf();
            if (text.str().find("Processing backup server") != std::string::npos) return;
            orb::SleepMs(20);
        }
    }
    // Two publishers on their records at the same time.
    void StartBoth(pid_t* a, pid_t* b) {
        std::filesystem::remove(a_ / "ksorbx.log");
        *a = StartPublisher(a_);
        AwaitRecords(a_);
        *b = StartPublisher(b_);
    }
    static int Wait(pid_t pid) { return publishertest::WaitExit(pid); }

    // Objects of cls in the repository, seen from machine root A.
    uint32_t Count(const char* cls) {
        orbtest::ScopedEnv machine("ORB_MACHINE_ROOT", a_.path());
        return publishertest::CountObjects(kRepository, cls);
    }
    // orbcli check from machine root B: its exit code, its report in *report.
    int Check(std::string* report) {
        orbtest::ScopedEnv machine("ORB_MACHINE_ROOT", b_.path());
        return orb::RunCommand({bin_ + "/orbcli", "-r", kRepository, "check"}, 120000, report);
    }
    // The start and the end of each publisher's output.
    std::string Logs() {
        std::string out;
        for (const orbtest::ScratchDir* root : {&a_, &b_}) {
            std::stringstream text;
            text << std::ifstream(*root / "ksorbx.log").rdbuf();
            const std::string all = text.str();
            out += "== " + root->path() + "/ksorbx.log\n";
            out += all.size() > 6000
                       ? all.substr(0, 3000) + "\n...\n" + all.substr(all.size() - 3000)
                       : all;
        }
        return out;
    }
    void ExpectEveryServerOnce() {
        EXPECT_EQ(Count("LumoraVB"), static_cast<uint32_t>(kServers));
        EXPECT_EQ(Count("Sentispace"), static_cast<uint32_t>(kServers));
        std::string report;
        EXPECT_EQ(Check(&report), 0) << report.substr(0, 4000);
    }

    orbtest::PgSchema schema_;
    orbtest::ScratchDir a_, b_;
    orbtest::ScopedEnv ui_{"ORB_UI", "batch"};
    std::string bin_;
};

TEST_F(SiteTest, TwoMachinesPublishingAtOnceLeaveEveryServerOnce) {
    pid_t a = 0, b = 0;
    StartBoth(&a, &b);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(Wait(a), 0);
    EXPECT_EQ(Wait(b), 0);
    ExpectEveryServerOnce();
    if (HasFailure()) std::cout << Logs();
}

TEST_F(SiteTest, APublisherKilledHalfWayLeavesWhatTheNextPassCompletes) {
    // How long a pass of both at once takes, so that kills land all over it.
    auto start = std::chrono::steady_clock::now();
    pid_t a = 0, b = 0;
    StartBoth(&a, &b);
    ASSERT_EQ(Wait(a), 0);
    ASSERT_EQ(Wait(b), 0);
    const long passMs = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now() - start)
                                              .count());
    std::mt19937 random(17);
    std::uniform_int_distribution<long> when(passMs / 10, std::max<long>(passMs * 9 / 10, 1));
    for (int kill = 0; kill < 3; ++kill) {
        StartBoth(&a, &b);
        ASSERT_GT(a, 0);
        ASSERT_GT(b, 0);
        orb::SleepMs(static_cast<DWORD>(when(random)));
        ::kill(a, SIGKILL);
        Wait(a);
        EXPECT_EQ(Wait(b), 0);
    }
    ASSERT_EQ(Wait(StartPublisher(a_)), 0) << Logs();
    ExpectEveryServerOnce();
    if (HasFailure()) std::cout << Logs();
}

TEST_F(SiteTest, TwoStartedAtTheSameMomentLeaveASoundRepository) {
    const pid_t a = StartPublisher(a_);
    const pid_t b = StartPublisher(b_);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    const int first = Wait(a), second = Wait(b);
    // At most one loses its view to the other's rebuild; the other publishes.
    EXPECT_TRUE((first == 0 || first == 1) && (second == 0 || second == 1) &&
                (first == 0 || second == 0))
        << first << " and " << second;
    ExpectEveryServerOnce();
    if (HasFailure()) std::cout << Logs();
}

}  // namespace
