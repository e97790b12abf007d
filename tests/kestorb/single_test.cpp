// Single-object access: opening, the pending list, saves that do not renew
// reads, and the accessor's own last error.
#include <gtest/gtest.h>

#include "tests/kestorb/repo_fixture.h"

namespace {

using kesttest::SameUuid;
using std::string;

class SingleTest : public kesttest::RepoTest {
protected:
    void SetUp() override {
        RepoTest::SetUp();
        server_ = repo_.Add("Vaultline", {{"name", string("srv")}, {"status", 1}});
        Open();
        ASSERT_EQ(KestOpenObject(ctx_, "Vaultline", &server_), 0);
    }
    int32_t ReadStatus() {
        int32_t status = -1, isNull = -1;
        EXPECT_EQ(KestGetPropInt(ctx_, "status", &status, &isNull), 0);
        return status;
    }
    UUID server_{};
};

TEST_F(SingleTest, OpenKeepsOrDropsTheOpenObject) {
    EXPECT_EQ(KestIsObjectOpened(ctx_), 0);
    EXPECT_EQ(KestOpenObject(ctx_, "", &server_), ORBOM_RC_INVALID_POINTER_PARAMETER);
    EXPECT_EQ(KestOpenObject(ctx_, "Vaultline", nullptr), ORBOM_RC_INVALID_POINTER_PARAMETER);
    char cls[30];
    UUID open{};
    ASSERT_EQ(KestGetOpenObject(ctx_, cls, &open), 0);
    EXPECT_STREQ(cls, "Vaultline");
    EXPECT_TRUE(SameUuid(open, server_));
    EXPECT_EQ(KestGetOpenObject(ctx_, nullptr, &open), ORBOM_RC_INVALID_POINTER_PARAMETER);

    UUID missing{};
    UuidCreate(&missing);
    EXPECT_EQ(KestOpenObject(ctx_, "Vaultline", &missing), ORBOM_RC_NO_MATCH);
    EXPECT_EQ(KestIsObjectOpened(ctx_), 2);
    EXPECT_EQ(KestGetOpenObject(ctx_, cls, &open), ORBOM_RC_MISSING_CLASS_NAME);
    EXPECT_EQ(KestSaveObject(ctx_), ORBOM_RC_MISSING_CLASS_NAME);
    int32_t value = 0, isNull = 0;
    EXPECT_EQ(KestGetPropInt(ctx_, "status", &value, &isNull), ORBOM_RC_INVALID_POINTER_PARAMETER);
    // The context's last error belongs to the other families.
    EXPECT_EQ(KestGetLastError(ctx_), 0);
}

TEST_F(SingleTest, SavedValuesShowOnlyAfterRefresh) {
    EXPECT_EQ(KestSaveObject(ctx_), 0);  // nothing pending
    ASSERT_EQ(KestSetPropInt(ctx_, "status", 2, 0), 0);
    ASSERT_EQ(KestSetPropString(ctx_, "address", "10.0.0.2", 0), 0);
    ASSERT_EQ(KestSaveObject(ctx_), 0);
    EXPECT_EQ(repo_.Int("Vaultline", server_, "status"), 2);
    EXPECT_EQ(repo_.Text("Vaultline", server_, "address"), "10.0.0.2");
    EXPECT_EQ(ReadStatus(), 1);
    ASSERT_EQ(KestRefreshObject(ctx_), 0);
    EXPECT_EQ(ReadStatus(), 2);

    char text[4];
    int32_t isNull = 0;
    uint32_t size = sizeof text;
    EXPECT_EQ(KestGetPropString(ctx_, "status", text, &isNull, &size), ORBOM_RC_INVALID_DATATYPE);
    EXPECT_EQ(KestGetPropString(ctx_, "address", text, &isNull, &size), 0);
    EXPECT_STREQ(text, "10.");
    EXPECT_EQ(size, 8u);
}

TEST_F(SingleTest, CloseSavesOnlyWhenAsked) {
    ASSERT_EQ(KestSetPropInt(ctx_, "status", 3, 0), 0);
    ASSERT_EQ(KestCloseObject(ctx_, 0), 0);
    EXPECT_EQ(repo_.Int("Vaultline", server_, "status"), 1);
    EXPECT_EQ(KestIsObjectOpened(ctx_), 2);

    ASSERT_EQ(KestOpenObject(ctx_, "Vaultline", &server_), 0);
    ASSERT_EQ(KestSetPropInt(ctx_, "status", 4, 0), 0);
    ASSERT_EQ(KestCloseObject(ctx_, 1), 0);
    EXPECT_EQ(repo_.Int("Vaultline", server_, "status"), 4);

    ASSERT_EQ(KestOpenObject(ctx_, "Vaultline", &server_), 0);
    ASSERT_EQ(KestSetPropInt(ctx_, "status", 5, 0), 0);
    EXPECT_EQ(KestResetObject(ctx_), 0);
    ASSERT_EQ(KestSaveObject(ctx_), 0);
    EXPECT_EQ(repo_.Int("Vaultline", server_, "status"), 4);
}

TEST_F(SingleTest, FailedSaveKeepsChangesAndTheListIsBounded) {
    ASSERT_EQ(KestSetPropInt(ctx_, "no_such_property", 1, 0), 0);
    EXPECT_EQ(KestSaveObject(ctx_), ORBOM_RC_INVALID_PROPERTY);
    EXPECT_EQ(KestSaveObject(ctx_), ORBOM_RC_INVALID_PROPERTY);
    EXPECT_EQ(KestResetObject(ctx_), 0);

    for (int i = 0; i < 255; ++i) ASSERT_EQ(KestSetPropInt(ctx_, "status", i, 0), 0);
    EXPECT_EQ(KestSetPropInt(ctx_, "status", 999, 0), ORBOM_RC_INVALID_OBJECT);
    ASSERT_EQ(KestSaveObject(ctx_), 0);
    EXPECT_EQ(repo_.Int("Vaultline", server_, "status"), 254);
}

TEST_F(SingleTest, NullWritesAndUuidReads) {
    ASSERT_EQ(KestSetPropString(ctx_, "name", nullptr, 1), 0);
    ASSERT_EQ(KestSaveObject(ctx_), 0);
    ASSERT_EQ(KestRefreshObject(ctx_), 0);
    char text[8] = "keep";
    int32_t isNull = 0;
    uint32_t size = sizeof text;
    ASSERT_EQ(KestGetPropString(ctx_, "name", text, &isNull, &size), 0);
    EXPECT_EQ(isNull, 1);
    EXPECT_STREQ(text, "keep");
    UUID read{};
    ASSERT_EQ(KestGetPropUUID(ctx_, "uuid", &read, &isNull), 0);
    EXPECT_TRUE(SameUuid(read, server_));
    EXPECT_EQ(KestSetPropUUID(ctx_, "uuid", nullptr, 0), ORBOM_RC_INVALID_POINTER_PARAMETER);
}

}  // namespace
