// The discovery library as the publisher reads it: records in line order at
// their fixed offsets, the release at offset 29 of the product information,
// and a table that holds still while a pass reads it.
#include "backup/vlbrdcst/vlbrdcst.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "backup/discotable/discotable.h"
#include "platform/debug.h"
#include "tests/platform/scratch_dir.h"

namespace {

class VlbrdcstTest : public ::testing::Test {
  protected:
    void Announce(const std::string& line) {
        std::ofstream(disco::TablePath(), std::ios::app) << line << "\n";
    }

    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_ / "machine"};
    uint32_t table_ = 0;
    DiscoveryRecord record_{};
};

TEST_F(VlbrdcstTest, RecordsAndProductInformationInLineOrder) {
    EXPECT_EQ(VlbOpenTable(&table_, nullptr), VLB_FILE_NOT_FOUND);
    Announce("NEWSRV CORP 133 192.168.1.20 8 65,71");
    Announce("bad line");
    Announce("UNIXSRV CORP 85 192.168.1.21 10 -");
    std::vector<std::string> debug;
    orb::SetDebugSink([&](const std::string& line) { debug.push_back(line); });
    uint32_t count = 0;
    ASSERT_EQ(VlbOpenTable(&table_, &count), VLB_OK);
    orb::SetDebugSink(nullptr);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(debug.size(), 1u);
    EXPECT_NE(debug[0].find("line 2 skipped"), std::string::npos);

    std::memset(&record_, 0xAB, sizeof(record_));
    ASSERT_EQ(VlbReadRecord(table_, 0, &record_), VLB_OK);
    unsigned char bytes[44];
    std::memcpy(bytes, &record_, sizeof(bytes));
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes), "NEWSRV");
    EXPECT_EQ(bytes[15], 0) << "the name field is zero-filled";
    EXPECT_STREQ(reinterpret_cast<const char*>(bytes + 16), "CORP");
    EXPECT_EQ(bytes[36] | bytes[37] << 8, 133);
    EXPECT_EQ(bytes[40] + bytes[43], 192 + 20);

    uint32_t index = 0;
    ProductInfo info;
    ASSERT_EQ(VlbGetProductInfo(table_, &index, 133, &record_, &info), VLB_OK);
    EXPECT_EQ(reinterpret_cast<const unsigned char*>(&info)[29], 8);
    EXPECT_EQ(VlbGetProductInfo(table_, &index, 24, &record_, &info), VLB_INVALID_PARAMETER);
    index = 1;
    EXPECT_EQ(VlbGetProductInfo(table_, &index, 133, &record_, &info), VLB_INVALID_PARAMETER)
        << "index and record disagree";

    ASSERT_EQ(VlbReadRecord(table_, 1, &record_), VLB_OK);
    EXPECT_STREQ(record_.serverName, "UNIXSRV");
    EXPECT_EQ(VlbReadRecord(table_, 2, &record_), VLB_NO_MORE_RECORDS);
    EXPECT_EQ(VlbCloseTable(table_), VLB_OK);
}

TEST_F(VlbrdcstTest, AnOpenTableIsASnapshotUntilClosed) {
    Announce("ONE CORP 24 10.0.0.1 9 65");
    uint32_t other = 0;
    ASSERT_EQ(VlbOpenTable(&table_, nullptr), VLB_OK);
    ASSERT_EQ(VlbOpenTable(&other, nullptr), VLB_OK);
    uint32_t error = 0;
    size_t removed = 0;
    ASSERT_TRUE(disco::RemoveServer(disco::TablePath(), "ONE", &removed, &error));
    Announce("TWO CORP 24 10.0.0.2 9 65");

    ASSERT_EQ(VlbReadRecord(table_, 0, &record_), VLB_OK);
    EXPECT_STREQ(record_.serverName, "ONE");
    EXPECT_EQ(VlbReadRecord(table_, 1, &record_), VLB_NO_MORE_RECORDS);
    EXPECT_EQ(VlbCloseTable(table_), VLB_OK);
    EXPECT_EQ(VlbCloseTable(table_), VLB_INVALID_HANDLE);
    EXPECT_EQ(VlbReadRecord(table_, 0, &record_), VLB_INVALID_HANDLE);
    EXPECT_EQ(VlbReadRecord(other, 0, &record_), VLB_OK) << "closing one handle leaves the other";
    EXPECT_EQ(VlbCloseTable(other), VLB_OK);
}

}  // namespace
