// What KestOrb loads by name: the event library for KestEmEvt_wto and the
// discovery service behind the SAN view's machine check.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/kestorb/repo_fixture.h"

namespace {

using kesttest::Prop;
using kesttest::SameUuid;
using std::string;

string ReadFile(const string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class LoadingTest : public kesttest::RepoTest {
protected:
    // The loader finds only what lies in the program's folder and in dir.
    void FindLibrariesIn(const string& dir) {
        path_.reset();  // restores the previous PATH before the next one is set
        path_ = std::make_unique<orbtest::ScopedEnv>("PATH", dir);
    }
    string Empty() const { return dir_.path(); }

    std::unique_ptr<orbtest::ScopedEnv> path_;
};

TEST_F(LoadingTest, EventForwardingNamesTheMissingPiece) {
    FindLibrariesIn(Empty());
    EXPECT_EQ(KestEmEvt_wto(7, 9), KESTORB_ERR_LOAD_LIBRARY);
    FindLibrariesIn(NOENTRY_NWUEVT_DIR);
    EXPECT_EQ(KestEmEvt_wto(7, 9), KESTORB_ERR_GETPROCADDRESS);
    FindLibrariesIn(ORB_BIN_DIR_PATH);
    EXPECT_EQ(KestEmEvt_wto(7, 9), 0);
    EXPECT_EQ(KestEmEvt_wto(4294967295u, 0), 0);
    string log = ReadFile(dir_ / "log/events.log");
    EXPECT_NE(log.find(" EmEvt_wto 7 9\n"), string::npos) << log;
    EXPECT_NE(log.find(" EmEvt_wto 4294967295 0\n"), string::npos) << log;
}

// Two SANs: "Storage1" holds a machine running the backup server and a
// disk, joined by one fibre channel (and the disk has one more to a device
// outside the SAN); "Storage2" holds a machine without a backup server.
class SanViewTest : public LoadingTest {
protected:
    void SetUp() override {
        LoadingTest::SetUp();
        FindLibrariesIn(FAKE_DSLOAD_DIR);
        machine_ = repo_.Add("Windows2000_Server", {{"name", string("SRV1")}, {"label", string("srv1")}});
        bare_ = repo_.Add("WindowsNT_Server", {{"name", string("SRV2")}, {"label", string("srv2")}});
        Open();
        KestMachineRecord record = kesttest::Machine("Windows2000_Server", "SRV1");
        UUID server{};
        ASSERT_EQ(KestAddObject(ctx_, &record, "Vaultline", "SRV1:VL", &server), 0);
        repo_.AddAs("LumoraEB", server, {{"ServerName", string("SRV1")}});
        disk_ = repo_.Add("Unclassified_TCP", {{"name", string("disk")}});
        UUID outside = repo_.Add("Unclassified_TCP", {{"name", string("tape")}});
        san_ = repo_.Add("SAN", {{"name", string("Storage1")}, {"label", string("Storage1")}});
        Member(san_, "Windows2000_Server", machine_);
        Member(san_, "Unclassified_TCP", disk_);
        Channel(machine_, disk_, 3, 4);
        Channel(disk_, outside, 5, 6);
        UUID other = repo_.Add("SAN", {{"name", string("Storage2")}, {"label", string("Storage2")}});
        Member(other, "WindowsNT_Server", bare_);
    }
    void Member(const UUID& san, const char* cls, const UUID& child) {
        repo_.Add("Inclusion", {{"parent_uuid", san},
                                {"parent_class", string("SAN")},
                                {"child_uuid", child},
                                {"child_class", string(cls)},
                                {"child_sequence_no", 0}});
    }
    void Channel(const UUID& from, const UUID& to, int32_t fromPort, int32_t toPort) {
        repo_.Add("FibreChannel", {{"source_uuid", from}, {"dest_uuid", to},
                                   {"source_class", string("x")}, {"dest_class", string("y")},
                                   {"source_seq", 0}, {"dest_seq", 0},
                                   {"source_port", fromPort}, {"dest_port", toPort}});
    }
    UUID View() { return repo_.Uuid("BusinessView", {{"name", string("SAN View")}}, "uuid"); }
    uint32_t CopiesInView() {
        return repo_.Count("Inclusion", {{"parent_uuid", View()},
                                         {"parent_class", string("BusinessView")},
                                         {"child_class", string("SAN")}});
    }

    UUID machine_{}, bare_{}, disk_{}, san_{};
};

TEST_F(SanViewTest, ServedSanIsCopiedWithItsInnerConnections) {
    orbtest::ScopedEnv served("KEST_TEST_DSLOAD_SERVERS", "OTHER,SRV1");
    ASSERT_EQ(KestBPVPopulateVLT_SAN(ctx_, "SAN View"), 0);
    EXPECT_EQ(repo_.Int("BusinessView", {{"name", string("SAN View")}}, "autoarrange_type"), 5);
    ASSERT_EQ(CopiesInView(), 1u);
    UUID copy = repo_.Uuid("SAN", {{"name", string("Storage1_Vaultline")},
                                   {"label", string("Storage1_Vaultline")},
                                   {"class_name", string("SAN")}},
                           "uuid");
    EXPECT_EQ(repo_.Int("SAN", copy, "autoarrange_type"), 5);
    EXPECT_EQ(repo_.Count("SAN", {{"name", string("Storage2_Vaultline")}}), 0u);

    // The machine stands in the copy as its VLT_SAN; the disk is itself.
    UUID standIn = repo_.Uuid("VLT_SAN", {{"name", string("SRV1_SAN")},
                                          {"label", string("srv1_SAN")},
                                          {"class_name", string("VLT_SAN")}},
                              "uuid");
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", copy}}), 2u);
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", copy}, {"child_uuid", standIn},
                                        {"child_class", string("VLT_SAN")}}),
              1u);
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", copy}, {"child_uuid", disk_}}), 1u);

    // Only the channel with both ends inside the SAN is copied.
    EXPECT_EQ(repo_.Count("FibreChannel"), 3u);
    EXPECT_EQ(repo_.Count("FibreChannel", {{"source_uuid", standIn}, {"dest_uuid", disk_},
                                           {"source_class", string("VLT_SAN")},
                                           {"dest_class", string("Unclassified_TCP")},
                                           {"dest_seq", 1}, {"source_port", 3},
                                           {"dest_port", 4}}),
              1u);

    // A second build replaces the view's copies and reuses the stand-in.
    ASSERT_EQ(KestBPVPopulateVLT_SAN(ctx_, "SAN View"), 0);
    EXPECT_EQ(CopiesInView(), 1u);
    EXPECT_EQ(repo_.Count("VLT_SAN"), 1u);
    EXPECT_EQ(repo_.Count("BusinessView"), 1u);
}

TEST_F(SanViewTest, NoServerNoCopy) {
    orbtest::ScopedEnv served("KEST_TEST_DSLOAD_SERVERS", "SRV2");
    ASSERT_EQ(KestBPVPopulateVLT_SAN(ctx_, "SAN View"), 0);
    EXPECT_EQ(CopiesInView(), 0u);
    EXPECT_EQ(repo_.Count("SAN"), 2u);
    EXPECT_EQ(repo_.Count("VLT_SAN"), 0u);
}

TEST_F(SanViewTest, WithoutTheDiscoveryServiceTheViewStaysEmpty) {
    orbtest::ScopedEnv served("KEST_TEST_DSLOAD_SERVERS", "SRV1");
    FindLibrariesIn(Empty());
    ASSERT_EQ(KestBPVPopulateVLT_SAN(ctx_, "SAN View"), 0);
    EXPECT_EQ(repo_.Count("BusinessView"), 1u);
    EXPECT_EQ(CopiesInView(), 0u);
}

TEST_F(SanViewTest, RealDiscoveryServiceAnswersFromTheTable) {
    std::filesystem::create_directories(dir_ / "vaultline");
    std::ofstream(dir_ / "vaultline/discovery.tbl") << "SRV1\tCORP\t24\t10.1.1.9\t9\t71,65\n"
                                                    << "SRV2\tCORP\t24\t10.1.1.8\t9\t71\n";
    FindLibrariesIn(ORB_BIN_DIR_PATH);
    ASSERT_EQ(KestBPVPopulateVLT_SAN(ctx_, "SAN View"), 0);
    EXPECT_EQ(CopiesInView(), 1u);
    EXPECT_EQ(repo_.Count("SAN", {{"name", string("Storage1_Vaultline")}}), 1u);
}

}  // namespace
