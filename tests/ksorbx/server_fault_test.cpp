// ksorbx on a repository in PostgreSQL whose server goes away during the
// pass: every session ended, the server stopped, the server restarted. Each
// such pass either completes (exit 0) or fails with exit 1 and the count of
// the records the repository failed on standard error; a server stopped for
// good ends the pass instead of letting it fail every record left. One clean
// pass afterwards publishes every server exactly once, with a sound
// repository. The server is a private one (stopping the tests' shared one
// would break the other tests), started with scripts/pg-server.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "framework/nwomapi/nwomapi.h"
#include "platform/command.h"
#include "platform/registry.h"
#include "platform/sync.h"
#include "tests/ksorbx/publisher_run.h"
#include "tests/pgtest/pg_scratch.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace {

constexpr const char* kRepository = "vaultrepo";
#if defined(__SANITIZE_ADDRESS__)
constexpr int kServers = 150;
#else
constexpr int kServers = 400;
#endif

// A PostgreSQL server of the test's own, in a folder its system user can
// reach (the scratch folders are root's alone).
class PrivateServer {
  public:
    PrivateServer() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orbpg-XXXXXX").string();
        if (mkdtemp(pattern.data())) dir_ = pattern;
    }
    ~PrivateServer() {
        if (dir_.empty()) return;
        Stop();
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    bool Start() { return Script("start"); }
    bool Stop() { return Script("stop"); }
    std::string Connection() const {
        return "host=" + dir_ + " port=5432 user=postgres dbname=postgres";
    }
    const std::string& output() const { return output_; }
    // Runs sql on the server as its superuser.
    bool Run(const std::string& sql) {
        orbtest::ScopedEnv server("ORB_TEST_PG", Connection());
        return orbtest::PgRun(sql, nullptr, &output_);
    }

  private:
    bool Script(const char* command) {
        return !dir_.empty() && orb::RunCommand({std::string(ORB_SOURCE_DIR) + "/scripts/pg-server",
                                                 command, dir_, "--no-fsync"},
                                                120000, &output_) == 0;
    }
    std::string dir_;
    std::string output_;
};

class ServerFaultTest : public testing::Test {
  protected:
    void SetUp() override {
        bin_ = orbtest::BinDir();
        if (!std::filesystem::exists(bin_ + "/ksorbx")) GTEST_SKIP() << "ksorbx is not built";
        if (orbtest::PgConnection().empty()) GTEST_SKIP() << orbtest::kPgSkip;
        ASSERT_TRUE(server_.Start()) << server_.output();
        const std::string key =
            std::string("SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Repositories\\") +
            kRepository;
        orb::RegSetString(key, "Backend", "postgresql");
        orb::RegSetString(key, "Connection", server_.Connection());
        orb::RegSetString(key, "Schema", "public");
        orb::RegSetDword("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration",
                         "Support", 0xFFFFFFFFu);
        std::ofstream(root_ / "hosts") << "127.0.0.1 localhost\n";
        publishertest::WriteDiscoveryTable(root_.path(), kServers);
        publishertest::PrepareRepository(kRepository, kServers);
    }

    pid_t Start() {
        std::filesystem::remove(root_ / "ksorbx.log");
        return publishertest::StartPublisher(
            bin_, kRepository, root_ / "ksorbx.log",
            {"ORB_MACHINE_ROOT=" + root_.path(), "ORB_HOSTS=" + root_ / "hosts", "ORB_UI=batch"});
    }
    std::string Output() const {
        std::stringstream text;
        text << std::ifstream(root_ / "ksorbx.log").rdbuf();
        return text.str();
    }
    size_t RecordsSeen() const {
        const std::string out = Output();
        size_t n = 0;
        for (size_t at = out.find("Processing backup server"); at != std::string::npos;
             at = out.find("Processing backup server", at + 1)) {
            ++n;
        }
        return n;
    }
    // Waits (a bounded while) until the publisher works on its records.
    void AwaitRecords(size_t records = 1) const {
        for (int i = 0; i < 1500 && RecordsSeen() < records; ++i) orb::SleepMs(20);
    }
    // A pass the repository failed ends with exit 1 and says how many records.
    void ExpectCompletedOrCounted(int exit, const char* what) {
        const std::string out = Output();
        if (exit == 0) return;
        EXPECT_EQ(exit, 1) << what << "\n" << out;
        EXPECT_NE(out.find("record(s) not published: the repository failed"), std::string::npos)
            << what << "\n"
            << out;
        EXPECT_EQ(out.find("Done."), std::string::npos) << what << "\n" << out;
    }
    PrivateServer server_;
    orbtest::ScratchDir root_;
    orbtest::ScopedEnv machine_{"ORB_MACHINE_ROOT", root_.path()};
    orbtest::ScopedEnv ui_{"ORB_UI", "batch"};
    std::string bin_;
};

TEST_F(ServerFaultTest, PassesLosingTheServerFailWithTheCountAndOneCleanPassRepairsAll) {
    // Every session ended while the pass works: the records in hand fail,
    // the rest reconnect.
    pid_t pid = Start();
    ASSERT_GT(pid, 0);
    AwaitRecords(kServers / 4);
    ASSERT_TRUE(
        server_.Run("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                    "WHERE pid <> pg_backend_pid() AND backend_type = 'client backend'"))
        << server_.output();
    ExpectCompletedOrCounted(publishertest::WaitExit(pid), "sessions ended");

    // The server stopped for good: the pass fails at once, not record by record.
    pid = Start();
    ASSERT_GT(pid, 0);
    AwaitRecords(kServers / 4);
    ASSERT_TRUE(server_.Stop()) << server_.output();
    EXPECT_EQ(publishertest::WaitExit(pid), 1) << Output();
    ExpectCompletedOrCounted(1, "server stopped");
    EXPECT_LT(RecordsSeen(), static_cast<size_t>(kServers)) << Output();
    ASSERT_TRUE(server_.Start()) << server_.output();

    // The server restarted while the pass works.
    pid = Start();
    ASSERT_GT(pid, 0);
    AwaitRecords(kServers / 4);
    ASSERT_TRUE(server_.Stop()) << server_.output();
    ASSERT_TRUE(server_.Start()) << server_.output();
    ExpectCompletedOrCounted(publishertest::WaitExit(pid), "server restarted");

    // One clean pass: every server once, in a sound repository.
    pid = Start();
    ASSERT_EQ(publishertest::WaitExit(pid), 0) << Output();
    EXPECT_EQ(publishertest::CountObjects(kRepository, "LumoraVB"),
              static_cast<uint32_t>(kServers));
    EXPECT_EQ(publishertest::CountObjects(kRepository, "Sentispace"),
              static_cast<uint32_t>(kServers));
    std::string report;
    EXPECT_EQ(orb::RunCommand({bin_ + "/orbcli", "-r", kRepository, "check"}, 120000, &report), 0)
        << report.substr(0, 4000);
}

}  // namespace
