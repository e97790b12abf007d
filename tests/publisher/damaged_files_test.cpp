// Damaged files through the programs that read them: a registry hive that
// is empty or overwritten stops every program with ERROR_BADDB, a damaged
// repository stops the publishing pass and the deletion, and neither file is
// written by them.
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>

#include "framework/nwomapi/nwomapi.h"
#include "platform/command.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/damaged_hive.h"
#include "tests/publisher/pass_fixture.h"

namespace {

using pubtest::PassTest;
using pubtest::Server;

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Overwrites the last pages of a database file, where its newest rows are.
void DamageTail(const std::string& path, size_t pages) {
    const auto size = std::filesystem::file_size(path);
    ASSERT_GT(size, (pages + 1) * 4096);
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(static_cast<std::streamoff>(size - pages * 4096));
    file.write(std::string(pages * 4096, 'Z').data(), static_cast<std::streamsize>(pages * 4096));
}

class DamagedFiles : public PassTest {
  protected:
    std::string Program(const std::string& name) const { return orbtest::BinDir() + "/" + name; }
    int Run(std::vector<std::string> args) {
        args[0] = Program(args[0]);
        output_.clear();
        return orb::RunCommand(args, 20000, &output_);
    }
    std::string Hive() const { return dir_ / "registry.db"; }
    // Every program that reads the hive refuses to work on it.
    void ExpectEveryProgramRefuses() {
        EXPECT_EQ(Run({"regtool", "query", "SOFTWARE"}), 3) << output_;
        EXPECT_NE(output_.find("the registry hive is damaged (error 1009)"), std::string::npos)
            << output_;
        EXPECT_EQ(Run({"svcctl", "query", "NWSDBEngine"}), 1) << output_;
        EXPECT_NE(output_.find("error 1009: the registry hive is damaged"), std::string::npos)
            << output_;
        EXPECT_EQ(Run({"ksorbx", "--batch", "/r", kesttest::kRepository}), 1) << output_;
        EXPECT_NE(output_.find("the registry hive is damaged (error 1009)"), std::string::npos)
            << output_;
        EXPECT_EQ(output_.find("Done."), std::string::npos) << output_;
        // Refuses to start: it never serves, so it ends on its own.
        EXPECT_EQ(Run({"snmphost", "--listen", "udp:127.0.0.1:0"}), 1) << output_;
        EXPECT_NE(output_.find("the registry hive is damaged (error 1009)"), std::string::npos)
            << output_;
    }
    std::string output_;
};

TEST_F(DamagedFiles, AnEmptyOrOverwrittenHiveStopsEveryProgramAndIsKept) {
    orbtest::ScopedEnv ui("ORB_UI", "batch");
    ASSERT_EQ(Run({"svcctl", "create", "NWSDBEngine"}), 0) << output_;
    ASSERT_EQ(Run({"svcctl", "query", "NWSDBEngine"}), 0) << output_;

    ASSERT_TRUE(orbtest::DamageHiveHeader(dir_.path()));
    const std::string damaged = Contents(Hive());
    ExpectEveryProgramRefuses();
    EXPECT_EQ(Contents(Hive()), damaged);

    std::filesystem::resize_file(Hive(), 0);
    ExpectEveryProgramRefuses();
    EXPECT_EQ(std::filesystem::file_size(Hive()), 0u);
}

TEST_F(DamagedFiles, ADamagedRepositoryStopsThePassAndTheDeletion) {
    Support(-1);
    std::vector<disco::Server> servers;
    for (int i = 0; i < 120; ++i) {
        const std::string name = "SRV" + std::to_string(i);
        Machine("WindowsNT_Server", name);
        servers.push_back(Server(name, 24, "10.0.0." + std::to_string(i % 250 + 1)));
    }
    Announce(servers);
    ASSERT_TRUE(Pass());
    ASSERT_EQ(run_.created, 120u);

    // Every page in the file itself, then the newest pages damaged.
    const std::string file = dir_ / ("orbmap/" + std::string(kesttest::kRepository) + ".orb.db");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    DamageTail(file, 4);

    // The pass meets the damage where it first reads or writes the damaged
    // pages, and stops there.
    EXPECT_FALSE(Pass());
    EXPECT_EQ(lastResult_, ORBOM_RC_REPOSITORY_DAMAGED);
    EXPECT_LT(run_.processed, 120u);
    EXPECT_EQ(LogCount("The repository is damaged (ORBOM_RC_INVALID_REPOSITORY<7>)"), 1u);

    orbtest::ScopedEnv ui("ORB_UI", "batch");
    EXPECT_EQ(
        Run({"ksorbx", "--batch", "--delete", "--yes", "--no-create", "/R", kesttest::kRepository}),
        1)
        << output_;
}

}  // namespace
