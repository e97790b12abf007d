// The watcher form through the SNMP service, with net-snmp's tools as the
// manager: refusals in each version's words, and a change the registry
// cannot take (a full disk) refused, so that the table never shows what a
// restart would lose.
#include <memory>

#include "tests/platform/small_disk.h"
#include "tests/snmpagent/service_fixture.h"

namespace {

using namespace agentservice;

class WatcherFormService : public AgentService {
  protected:
    std::string set(const std::string& version, const std::string& suffix, char type,
                    const std::string& value) {
        return snmp("snmpset", version, "private", {kRoot + suffix, std::string(1, type), value});
    }
    std::string add(const std::string& version, const std::string& path) {
        set("v2c", ".12.2.0", 's', path);
        return set(version, ".12.5.0", 'i', "1");
    }
    std::string remove(const std::string& version, const std::string& path) {
        set("v2c", ".12.6.0", 's', path);
        return set(version, ".12.7.0", 'i', "1");
    }
    // Paths and warning times of the table, row by row.
    std::string table() {
        return snmp("snmpwalk", "v2c", "public", {"-Oqv", kRoot + ".12.1.1.1"}) +
               snmp("snmpwalk", "v2c", "public", {"-Oqv", kRoot + ".12.1.1.2"});
    }
};

TEST_F(WatcherFormService, RefusalsAreWrongValueForV2cAndBadValueForV1) {
    start(binDir());
    ASSERT_EQ(add("v2c", "C:\\data\\a.txt").find("Error"), std::string::npos);
    const std::vector<std::pair<std::string, std::string>> versions = {{"v2c", "wrongValue"},
                                                                       {"v1", "(badValue)"}};
    for (const auto& [version, word] : versions) {
        EXPECT_NE(set(version, ".12.3.0", 'i', "-1").find(word), std::string::npos) << version;
        EXPECT_NE(add(version, "C:\\data\\a.txt").find(word), std::string::npos) << version;
        EXPECT_NE(remove(version, "C:\\data\\none.txt").find(word), std::string::npos) << version;
    }
    EXPECT_EQ(table(), "\"C:\\\\data\\\\a.txt\"\n3\n");
}

class WatcherFormOnAFullDisk : public WatcherFormService {
  protected:
    void SetUp() override {
        disk_ = std::make_unique<orbtest::SmallDisk>(root_ / "disk", 2 << 20);
        if (!disk_->mounted()) GTEST_SKIP() << disk_->why();
        machine_ = std::make_unique<orbtest::ScopedEnv>("ORB_MACHINE_ROOT", disk_->dir());
        WatcherFormService::SetUp();
    }
    void TearDown() override {
        WatcherFormService::TearDown();
        machine_.reset();
        disk_.reset();
    }
    std::unique_ptr<orbtest::SmallDisk> disk_;
    std::unique_ptr<orbtest::ScopedEnv> machine_;
};

TEST_F(WatcherFormOnAFullDisk, AChangeThatCannotBeSavedIsRefusedAndNotMade) {
    start(binDir());
    ASSERT_EQ(add("v2c", "C:\\data\\a.txt").find("Error"), std::string::npos);
    const std::string before = table();
    ASSERT_EQ(before, "\"C:\\\\data\\\\a.txt\"\n3\n");

    disk_->Fill();
    const std::string longPath = "C:\\data\\" + std::string(1000, 'b');
    EXPECT_NE(add("v2c", longPath).find("commitFailed"), std::string::npos);
    EXPECT_NE(add("v1", longPath).find("(genError)"), std::string::npos);
    EXPECT_NE(remove("v2c", "C:\\data\\a.txt").find("commitFailed"), std::string::npos);
    set("v2c", ".12.8.0", 's', "C:\\data\\a.txt");
    set("v2c", ".12.9.0", 'i', "1");
    set("v2c", ".12.10.0", 'i', "2");
    EXPECT_NE(set("v2c", ".12.11.0", 'i', "1").find("commitFailed"), std::string::npos);
    EXPECT_EQ(table(), before);

    // What the table showed is what a restart loads.
    disk_->Empty();
    ASSERT_EQ(service_.Stop(), 0) << readFile(log_);
    start(binDir());
    EXPECT_EQ(table(), before);
    EXPECT_EQ(add("v2c", longPath).find("Error"), std::string::npos);
    EXPECT_NE(table().find("bbbb"), std::string::npos);
}

}  // namespace
