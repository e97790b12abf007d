// Records whose publication fails half way: a view that goes away between
// the creation and the link, and a repository whose disk fills during the
// pass. Such a record is not published (its server is published again by
// the next record of it or the next pass), and a record the repository
// failed fails the pass under the repository's own code.
#include <memory>

#include "platform/command.h"
#include "tests/pgtest/pg_scratch.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/small_disk.h"
#include "tests/publisher/pass_fixture.h"

namespace {

using kesttest::Prop;
using pubtest::PassTest;
using pubtest::Server;
using std::string;

constexpr const char* kView = "Lumora Vaultline Backup";

// The objects of cls named name with a link from a view.
uint32_t InViews(kesttest::Repo& repo, const UUID& object) {
    return repo.Count("Inclusion",
                      {{"parent_class", string("BusinessView")}, {"child_uuid", object}});
}

void DeleteView(kesttest::Repo& repo) {
    ORBOM_CRITERIA criteria = 0;
    ASSERT_EQ(ORBOM_Criteria_Allocate(&criteria, 1), 0);
    ORBOM_Criteria_Add(criteria, "name", ORBOM_TYPE_STRING, static_cast<uint32_t>(strlen(kView)),
                       kView, ORBOM_OP_EQUAL, ORBOM_CONNECT_AND);
    uint32_t deleted = 0;
    EXPECT_EQ(ORBOM_Object_Delete(repo.connection(), "BusinessView", criteria, &deleted), 0);
    ORBOM_Criteria_Free(&criteria);
}

int Check(const std::string& root, std::string* report) {
    orbtest::ScopedEnv machine("ORB_MACHINE_ROOT", root);
    return orb::RunCommand({orbtest::BinDir() + "/orbcli", "-r", kesttest::kRepository, "check"},
                           60000, report);
}

TEST_F(PassTest, AFailedViewLinkFailsTheRecordAndTheServersNextRecordPublishesItAgain) {
    Support(-1);
    Machine("WindowsNT_Server", "SRV1");
    Announce({Server("SRV1", 24, "10.0.0.1"), Server("SRV1", 24, "10.0.0.1")});
    // Each new record looks the server up three times: two searches and the
    // creation. The view goes just before the first record's creation (as
    // another machine's pass rebuilding it would) and is back for the second.
    int lookups = 0;
    resolver_.onLookup = [&](const string&) {
        ++lookups;
        if (lookups == 3) DeleteView(repo_);
        if (lookups == 4)
            repo_.Add("BusinessView", {{"name", string(kView)}, {"label", string(kView)}});
    };
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run_.processed, 2u);
    EXPECT_EQ(run_.created, 1u);
    EXPECT_EQ(LogCount("ProcessRecord -- "), 2u);
    EXPECT_EQ(LogCount("ORBOM_RC_NO_MATCH"), 1u) << Log();
    // Not found unchanged: published again, and this time in its view.
    EXPECT_EQ(LogCount("SRV1\tBroadcastOwnerId<24>\tACTION<+>"), 2u) << Log();
    ASSERT_EQ(repo_.Count("LumoraVB"), 1u);
    EXPECT_EQ(InViews(repo_, repo_.Uuid("LumoraVB", {}, "uuid")), 1u);
}

// The repository in a schema of the tests' PostgreSQL server.
class PostgresPass : public PassTest {
  protected:
    void SetUp() override {
        if (orbtest::PgConnection().empty()) GTEST_SKIP() << orbtest::kPgSkip;
        schema_.Register(kesttest::kRepository);
        PassTest::SetUp();
    }
    // Ends the publishing library's sessions (its kernels name themselves
    // after the process), as a server restart or an administrator would.
    static void EndLibrarySessions() {
        std::string error;
        ASSERT_TRUE(
            orbtest::PgRun("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                           "WHERE application_name LIKE 'PID(%'",
                           nullptr, &error))
            << error;
    }
    orbtest::PgSchema schema_;
};

TEST_F(PostgresPass, ALostConnectionInTheMachineSearchFailsTheRecordAsItself) {
    Support(-1);
    Machine("WindowsNT_Server", "SRV1");
    Announce({Server("SRV1", 24, "10.0.0.1")});
    ASSERT_TRUE(Pass()) << Log();
    // The session goes just as the next pass starts its search: the first
    // attempt meets the lost connection, and no later attempt (on a new
    // connection) may answer for it.
    resolver_.onLookup = [&](const string&) {
        resolver_.onLookup = nullptr;
        EndLibrarySessions();
    };
    EXPECT_FALSE(Pass());
    EXPECT_EQ(run_.processed, 1u);
    EXPECT_EQ(run_.created, 0u);
    EXPECT_EQ(run_.failed, 1u);
    EXPECT_EQ(LogCount("ProcessRecord -- the connection to the repository was lost<62>"), 1u)
        << Log();
    EXPECT_EQ(repo_.Count("LumoraVB"), 1u);
    // The server is there again: the next pass publishes the record.
    EXPECT_TRUE(Pass()) << Log();
    EXPECT_EQ(run_.created, 1u);
    EXPECT_EQ(repo_.Count("LumoraVB"), 1u);
}

// A repository on a small disk of its own, filled while a pass works.
class FullDiskPass : public PassTest {
  protected:
    void SetUp() override {
        disk_ = std::make_unique<orbtest::SmallDisk>(dir_ / "orbmap", 8u << 20);
        if (!disk_->mounted()) GTEST_SKIP() << disk_->why();
        PassTest::SetUp();
    }
    std::unique_ptr<orbtest::SmallDisk> disk_;
};

TEST_F(FullDiskPass, RecordsTheFullDiskFailsFailThePassUnderTheirOwnCode) {
    constexpr int kServers = 12;
    Support(-1);
    std::vector<disco::Server> servers;
    for (int i = 0; i < kServers; ++i) {
        const string name = "SRV" + std::to_string(i);
        Machine("WindowsNT_Server", name);
        servers.push_back(Server(name, 24, "10.0.0." + std::to_string(i + 1)));
    }
    Announce(servers);
    // The disk fills at the fifth server, after the views were built.
    resolver_.onLookup = [&](const string& name) {
        if (name == "srv4" && disk_->Available() > 0) disk_->Fill();
    };
    EXPECT_FALSE(Pass());
    resolver_.onLookup = nullptr;
    // The repository stays reachable, so every record is tried.
    EXPECT_EQ(run_.processed, static_cast<uint32_t>(kServers));
    EXPECT_GE(run_.failed, static_cast<uint32_t>(kServers - 4));
    EXPECT_EQ(run_.created + run_.failed, static_cast<uint32_t>(kServers));
    // The creation's walk reports the full disk, never the "no match" of an
    // attempt after it.
    EXPECT_GE(LogCount("ORB_AddVLObject() ORBOM_RC_REPOSITORY_NATIVE_ERROR<29>"),
              static_cast<size_t>(kServers - 4))
        << Log();
    EXPECT_EQ(LogCount("ORBOM_RC_NO_MATCH"), 0u) << Log();
    EXPECT_NE(Log().find(" Total number of records the repository failed is "), std::string::npos);

    // Room again: the next pass publishes every server, once.
    disk_->Empty();
    EXPECT_TRUE(Pass()) << Log();
    EXPECT_EQ(run_.created, static_cast<uint32_t>(kServers));
    EXPECT_EQ(repo_.Count("LumoraVB"), static_cast<uint32_t>(kServers));
    std::string report;
    EXPECT_EQ(Check(dir_.path(), &report), 0) << report;
}

}  // namespace
