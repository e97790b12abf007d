// Publishers on one machine root started together or killed half way: of
// two started at once exactly one runs, and after any number of kills one
// clean pass leaves every server published once, fully written, with the
// repository's integrity check finding nothing. Host names resolve only
// through the hosts file ORB_HOSTS names, never through a name server.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
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
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

extern char** environ;

namespace {

constexpr const char* kRepository = "vaultrepo";

class PublishersTest : public testing::Test {
  protected:
    void SetUp() override {
        bin_ = orbtest::BinDir();
        if (!std::filesystem::exists(bin_ + "/ksorbx")) GTEST_SKIP() << "ksorbx is not built";
        std::ofstream(root_ / "hosts") << "127.0.0.1 localhost\n";
        ORBOM_KERNEL kernel = 0;
        ASSERT_EQ(ORBOM_Kernel_Start("publisherstest", &kernel, 0), 0);
        ASSERT_EQ(ORBOM_Repository_Create(kernel, kRepository), 0);
        ORBOM_CONNECTION connection = 0;
        ASSERT_EQ(ORBOM_Repository_Connect(kernel, kRepository, &connection), 0);
        connection_ = connection;
        kernel_ = kernel;
        publishertest::ImportProductClasses(connection);
        if (HasFatalFailure()) return;
        orb::RegSetDword("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration",
                         "Support", 0xFFFFFFFFu);
    }
    void TearDown() override {
        if (connection_) ORBOM_Repository_Disconnect(&connection_);
        if (kernel_) ORBOM_Kernel_Stop(&kernel_);
    }

    // count servers SRV0000.. announced, each with its machine object.
    void Servers(int count) {
        publishertest::WriteDiscoveryTable(root_.path(), count);
        publishertest::CreateMachines(connection_, count);
    }

    // A publisher in batch mode, its output appended to ksorbx.log.
    pid_t StartPublisher() {
        return publishertest::StartPublisher(bin_, kRepository, root_ / "ksorbx.log");
    }
    static int Wait(pid_t pid) { return publishertest::WaitExit(pid); }

    uint32_t Count(const char* cls) {
        ORBOM_SELECTION selection = 0;
        uint32_t count = 0;
        if (ORBOM_ObjectList_Select(connection_, cls, 0, "uuid", 0, &selection, &count, nullptr,
                                    nullptr) != 0) {
            return 0;
        }
        ORBOM_ObjectList_EndSelect(&selection);
        return count;
    }
    std::string Log() {
        std::stringstream text;
        text << std::ifstream(root_ / "ksorbx.log").rdbuf();
        return text.str();
    }
    // orbcli check: its exit code, its report in *report.
    int Check(std::string* report) {
        return orb::RunCommand({bin_ + "/orbcli", "-r", kRepository, "check"}, 60000, report);
    }

    orbtest::ScratchDir root_;
    orbtest::ScopedEnv machine_{"ORB_MACHINE_ROOT", root_.path()};
    orbtest::ScopedEnv hosts_{"ORB_HOSTS", root_ / "hosts"};
    orbtest::ScopedEnv ui_{"ORB_UI", "batch"};
    std::string bin_;
    ORBOM_KERNEL kernel_ = 0;
    ORBOM_CONNECTION connection_ = 0;
};

TEST_F(PublishersTest, OfTwoStartedTogetherExactlyOneRuns) {
    constexpr int kServers = 40;
    Servers(kServers);
    for (int pair = 0; pair < 20; ++pair) {
        // Every record changed since the last pair, so that each pass
        // republishes them all: an unchanged table makes a pass so short that
        // on a loaded machine it could end before the second program starts,
        // and both would rightly run.
        publishertest::WriteDiscoveryTable(root_.path(), kServers, "DOM" + std::to_string(pair));
        const pid_t a = StartPublisher();
        const pid_t b = StartPublisher();
        ASSERT_GT(a, 0);
        ASSERT_GT(b, 0);
        const int first = Wait(a), second = Wait(b);
        EXPECT_TRUE((first == 0 && second == 1) || (first == 1 && second == 0))
            << "pair " << pair << ": " << first << " and " << second;
    }
    EXPECT_EQ(Count("LumoraVB"), static_cast<uint32_t>(kServers));
    EXPECT_EQ(Count("Sentispace"), static_cast<uint32_t>(kServers));
    std::string report;
    EXPECT_EQ(Check(&report), 0) << report;
    if (HasFailure()) std::cout << Log();
}

TEST_F(PublishersTest, AfterKillsAtRandomPointsOneCleanPassRepairsEverything) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitized programs are ten times slower; a shorter table keeps the
    // test inside the suite's time-out and still gives every kill a pass to cut.
    constexpr int kServers = 100;
#else
    constexpr int kServers = 300;
#endif
    Servers(kServers);
    // How long a whole pass takes here, so that kills land all over it.
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Wait(StartPublisher()), 0);
    const auto passMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
    std::mt19937 random(18);
    std::uniform_int_distribution<long> when(0, std::max<long>(passMs, 1));
    for (int kill = 0; kill < 20; ++kill) {
        const pid_t pid = StartPublisher();
        ASSERT_GT(pid, 0);
        orb::SleepMs(static_cast<DWORD>(when(random)));
        ::kill(pid, SIGKILL);
        Wait(pid);
    }
    ASSERT_EQ(Wait(StartPublisher()), 0);
    EXPECT_EQ(Count("LumoraVB"), static_cast<uint32_t>(kServers));
    EXPECT_EQ(Count("Sentispace"), static_cast<uint32_t>(kServers));
    std::string report;
    EXPECT_EQ(Check(&report), 0) << report;
}

}  // namespace
