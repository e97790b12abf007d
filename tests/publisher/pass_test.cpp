// Whole passes over a discovery table into a real repository: which records
// are published, change detection within a pass, the machine search, the
// replacement of existing objects, and the stop request.
#include "tests/publisher/pass_fixture.h"

namespace {

using kesttest::Prop;
using pubtest::PassTest;
using pubtest::Server;
using std::string;

TEST_F(PassTest, SupportAbsentPublishesNothingAndLogsEveryRecordN) {
    Machine("WindowsNT_Server", "SRV1");
    Announce({Server("SRV1", 24, "10.0.0.1"), Server("SRV2", 85, "10.0.0.2")});
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run_.processed, 2u);
    EXPECT_EQ(run_.created, 0u);
    EXPECT_EQ(repo_.Count("LumoraVB"), 0u);
    EXPECT_EQ(LogCount("\tACTION<N>\t<Support -2>"), 2u);
    EXPECT_EQ(LogCount("ACTION<+>"), 0u);

    // Once a value is there the next record reads it.
    Support(-1);
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run_.created, 1u);
    EXPECT_EQ(LogCount("SRV1\tBroadcastOwnerId<24>\tACTION<+>\t<Support -1>"), 1u);
}

TEST_F(PassTest, OwnerAndReleaseChooseTheRoutineAndTheClass) {
    orb::RegSetString(pubtest::kOlderProductKey, "HOME", "/opt/vl");
    Support(-1);
    for (const char* name : {"NEW9", "OLD8", "W133", "UNIX", "ODD"}) Machine("Windows", name);
    Machine("Unix", "UNIX");
    Announce({Server("NEW9", 24, "10.0.0.1", 9), Server("OLD8", 68, "10.0.0.2", 8),
              Server("W133", 133, "10.0.0.3", 8), Server("UNIX", 85, "10.0.0.4", 3),
              Server("ODD", 7, "10.0.0.5", 9)});
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run_.processed, 5u);
    EXPECT_EQ(run_.created, 3u);
    EXPECT_EQ(repo_.Count("LumoraVB", {{"ServerName", string("NEW9")}}), 1u);
    EXPECT_EQ(repo_.Count("LumoraVB", {{"ServerName", string("UNIX")}}), 1u);
    EXPECT_EQ(repo_.Count("Vaultline", {{"ServerName", string("OLD8")}}), 1u);
    // Owner 133 belongs to the current line only, and release 8 is too old for it.
    EXPECT_EQ(repo_.Count("LumoraVB", {{"ServerName", string("W133")}}), 0u);
    EXPECT_EQ(repo_.Count("Vaultline", {{"ServerName", string("W133")}}), 0u);
    EXPECT_EQ(repo_.Count("Vaultline") + repo_.Count("LumoraVB"), 3u);
}

TEST_F(PassTest, SupportOneTakesOnlyUnixServers) {
    Support(1);
    Machine("Windows", "WIN");
    Machine("Unix", "UNIX");
    Announce({Server("WIN", 24, "10.0.0.1"), Server("UNIX", 85, "10.0.0.2")});
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run_.created, 1u);
    EXPECT_EQ(LogCount("WIN\tBroadcastOwnerId<24>\tACTION<N>\t<Support 1>"), 1u);
    EXPECT_EQ(repo_.Count("LumoraVB", {{"ServerName", string("UNIX")}}), 1u);
}

TEST_F(PassTest, SameServerTwiceIsNewThenChangedOrUnchanged) {
    Support(-1);
    Machine("WindowsNT_Server", "SRV1");
    Machine("WindowsNT_Server", "SRV2");
    Announce({Server("SRV1", 24, "10.0.0.1"), Server("SRV1", 24, "10.0.0.9"),
              Server("SRV2", 24, "10.0.0.2"), Server("SRV2", 24, "10.0.0.2")});
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run_.processed, 4u);
    EXPECT_EQ(run_.created, 3u);
    EXPECT_EQ(LogCount("SRV1\tBroadcastOwnerId<24>\tACTION<+>"), 1u);
    EXPECT_EQ(LogCount("SRV1\tBroadcastOwnerId<24>\tACTION<U>"), 1u);
    EXPECT_EQ(LogCount("SRV2\tBroadcastOwnerId<24>\tACTION<N>"), 1u);
    // The second record replaced the object: one, with the new address.
    EXPECT_EQ(repo_.Count("LumoraVB", {{"ServerName", string("SRV1")}}), 1u);
    EXPECT_EQ(repo_.Count("LumoraVB", {{"address", string("10.0.0.9")}}), 1u);
}

TEST_F(PassTest, MachineKnownOnlyByItsAddressIsFoundOnTheLastClass) {
    Support(-1);
    UUID machine = Machine("Unclassified_TCP", "10.1.2.3");
    Announce({Server("IPONLY", 32, "10.1.2.3")});
    ASSERT_TRUE(Pass());
    ASSERT_EQ(run_.created, 1u);
    EXPECT_EQ(LogCount("ProcessRecord -- "), 1u);
    EXPECT_EQ(LogCount("\tOK\r\n"), 1u);
    // The object hangs beneath that machine's container.
    UUID container = repo_.Uuid("Inclusion", {{"parent_uuid", machine}}, "child_uuid");
    UUID object = repo_.Uuid("LumoraVB", {{"ServerName", string("IPONLY")}}, "uuid");
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", container}, {"child_uuid", object}}), 1u);
    // Without a machine under any class and name form the record fails.
    Announce({Server("NOHOST", 24, "10.9.9.9")});
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run_.processed, 2u);
    EXPECT_EQ(run_.created, 1u);
}

TEST_F(PassTest, DnsNameIsTheFourthFormAndAnOverlongOneIsNeverCut) {
    Support(-1);
    resolver_.addressOf["far"] = "10.0.0.5";
    resolver_.nameOf["10.0.0.5"] = "far.example.net";
    Machine("WindowsXP", "far.example.net");
    string longName = "host-" + string(50, 'x') + ".example.net";
    resolver_.addressOf["long"] = "10.0.0.6";
    resolver_.nameOf["10.0.0.6"] = longName;
    Machine("WindowsXP", longName.substr(0, 47));
    Announce({Server("FAR", 24, "10.0.0.7"), Server("LONG", 24, "10.0.0.8")});
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run_.created, 1u);
    EXPECT_EQ(repo_.Count("LumoraVB", {{"ServerName", string("FAR")}}), 1u);
    EXPECT_EQ(repo_.Count("LumoraVB", {{"ServerName", string("LONG")}}), 0u);
}

TEST_F(PassTest, ExistingObjectIsReplacedByANewOneWithTheSameProperties) {
    Support(-1);
    Machine("Windows2000_Server", "SRV1");
    Announce({Server("SRV1", 25, "10.0.0.1")});
    ASSERT_TRUE(Pass());
    UUID first = repo_.Uuid("LumoraVB", {{"ServerName", string("SRV1")}}, "uuid");
    ASSERT_TRUE(Pass());
    ASSERT_EQ(repo_.Count("LumoraVB"), 1u);
    UUID second = repo_.Uuid("LumoraVB", {}, "uuid");
    EXPECT_FALSE(kesttest::SameUuid(first, second));
    EXPECT_EQ(repo_.Text("LumoraVB", second, "DomainName"), "DOM");
    EXPECT_EQ(repo_.Text("LumoraVB", second, "ServerName"), "SRV1");
    EXPECT_EQ(repo_.Text("LumoraVB", second, "address"), "10.0.0.1");
}

// Every pass rebuilds the view and replaces each object; the links of what it
// deletes go with it, so repeated passes leave the same links.
TEST_F(PassTest, RepeatedPassesKeepTheLinkCount) {
    Support(-1);
    Machine("WindowsNT_Server", "SRV1");
    Machine("WindowsNT_Server", "SRV2");
    Announce({Server("SRV1", 24, "10.0.0.1"), Server("SRV2", 24, "10.0.0.2")});
    ASSERT_TRUE(Pass());
    const uint32_t links = repo_.Count("Inclusion");
    // Root to view, view to two objects, two machines to containers, two
    // containers to objects.
    EXPECT_EQ(links, 7u);
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(Pass());
        EXPECT_EQ(repo_.Count("Inclusion"), links) << "pass " << pass + 2;
    }
    EXPECT_EQ(repo_.Count("BusinessView"), 1u);
    EXPECT_EQ(repo_.Count("LumoraVB"), 2u);
}

TEST_F(PassTest, TwoExistingObjectsBlockTheRecord) {
    Support(-1);
    Machine("WindowsNT_Server", "SRV1");
    Announce({Server("SRV1", 24, "10.0.0.1")});
    ASSERT_TRUE(Pass());
    UUID object = repo_.Uuid("LumoraVB", {}, "uuid");
    UUID container = repo_.Uuid("Inclusion", {{"child_uuid", object}}, "parent_uuid");
    UUID twin = repo_.Add("LumoraVB", {{"ServerName", string("TWIN")}});
    repo_.Add("Inclusion", {{"parent_uuid", container},
                            {"child_uuid", twin},
                            {"parent_class", string("Sentispace")},
                            {"child_class", string("LumoraVB")},
                            {"child_sequence_no", 0}});
    ASSERT_TRUE(Pass());
    EXPECT_EQ(run_.created, 0u);
    EXPECT_EQ(LogCount("KESTORB_ERR_NEW"), 1u);  // 4100 shares that name
    EXPECT_EQ(repo_.Count("LumoraVB"), 2u);
    EXPECT_EQ(repo_.Count("LumoraVB", {{"uuid", object}}), 1u);
}

TEST_F(PassTest, StopIsHonouredBeforeEveryRecordAndTheTotalsAreLogged) {
    Support(-1);
    Announce({Server("A", 24, "10.0.0.1"), Server("B", 24, "10.0.0.2"),
              Server("C", 24, "10.0.0.3")});
    run_.onProgress = [](publisher::PublishRun& run) {
        if (run.processed == 1) run.stop.Set();
    };
    EXPECT_FALSE(Pass());
    EXPECT_EQ(run_.processed, 1u);
    EXPECT_EQ(LogCount(" Total number of objects in the Discovery Table is 1"), 1u);
    EXPECT_EQ(LogCount(" Total number of Objects Created is 0"), 1u);
}

TEST_F(PassTest, EmptyTableAndMissingTable) {
    ASSERT_TRUE(Pass());  // no table at all
    EXPECT_EQ(LogCount(" There is no object in the Discovery Table"), 1u);
    Announce({});
    ASSERT_TRUE(Pass());
    EXPECT_EQ(LogCount("Failed to get registry value for the key . (EC=259)"), 1u);
    EXPECT_EQ(LogCount(" Total number of objects in the Discovery Table is 0"), 1u);
}

}  // namespace
