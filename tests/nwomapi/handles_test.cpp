// Handles that were freed, belong to another kind, or were never handed out
// answer codes and never crash; releasing a parent releases what hangs on it.
#include "tests/nwomapi/repository_fixture.h"

namespace nwomapitest {
namespace {

using HandlesTest = RepositoryTest;

TEST_P(HandlesTest, StaleForeignAndInventedHandlesAnswerCodes) {
    ORBOM_CRITERIA c = Criteria({});
    ORBOM_PROPLIST l = Properties({});
    const ORBOM_CRITERIA freedCriteria = c;
    ASSERT_EQ(ORBOM_Criteria_Free(&c), 0);
    EXPECT_EQ(c, 0u);
    EXPECT_EQ(ORBOM_Criteria_Free(&c), ORBOM_RC_INVALID_OBJECT);
    EXPECT_EQ(ORBOM_Criteria_Add(freedCriteria, "name", ORBOM_TYPE_STRING, 1, "x", 0, 1),
              ORBOM_RC_INVALID_OBJECT);

    // A property list is not a criteria list, nor the reverse.
    EXPECT_EQ(ORBOM_Criteria_Clear(l), ORBOM_RC_INVALID_OBJECT);
    uint32_t count = 0;
    ORBOM_SELECTION s = 0;
    EXPECT_EQ(ORBOM_ObjectList_Select(conn_, "Unix", l, "*", 0, &s, &count, nullptr, nullptr),
              ORBOM_RC_INVALID_OBJECT);
    EXPECT_EQ(ORBOM_Object_Create(conn_, "Unix", freedCriteria), ORBOM_RC_INVALID_OBJECT);

    // Kernels, connections and selections each answer their own code.
    ORBOM_CONNECTION bogus = 0;
    EXPECT_EQ(ORBOM_Repository_Connect(conn_, "Test", &bogus), ORBOM_RC_INVALID_KERNEL_CONTEXT);
    EXPECT_EQ(bogus, 0u);
    EXPECT_EQ(ORBOM_Object_Create(kernel_, "Unix", l), ORBOM_RC_INVALID_REPOSITORY_CONTEXT);
    EXPECT_EQ(ORBOM_Object_Create(0xDEADBEEF, "Unix", l), ORBOM_RC_INVALID_REPOSITORY_CONTEXT);
    ORBOM_OBJECT o = 0;
    EXPECT_EQ(ORBOM_ObjectList_GetNext(conn_, &o, nullptr), ORBOM_RC_NO_SELECT);
    EXPECT_EQ(ORBOM_ObjectList_GetNext(0, &o, nullptr), ORBOM_RC_NO_SELECT);
    EXPECT_EQ(ORBOM_Object_GetProperty(l, "name", nullptr, nullptr, nullptr, nullptr),
              ORBOM_RC_INVALID_OBJECT);
    ORBOM_PropertyList_Free(&l);

    // Null pointers where an answer must be written.
    EXPECT_EQ(ORBOM_Kernel_Start("x", nullptr, 0), ORBOM_RC_INVALID_POINTER_PARAMETER);
    EXPECT_EQ(ORBOM_ObjectList_Select(conn_, "Unix", 0, "*", 0, nullptr, &count, nullptr, nullptr),
              ORBOM_RC_INVALID_POINTER_PARAMETER);
    EXPECT_EQ(ORBOM_ObjectList_Select(conn_, nullptr, 0, "*", 0, &s, &count, nullptr, nullptr),
              ORBOM_RC_INVALID_POINTER_PARAMETER);
    EXPECT_EQ(ORBOM_Object_Delete(conn_, "Unix", 0, nullptr), ORBOM_RC_INVALID_POINTER_PARAMETER);
    EXPECT_EQ(ORBOM_Criteria_Add(0, "name", ORBOM_TYPE_STRING, 1, "x", 1, 1),
              ORBOM_RC_INVALID_OPERATOR);
}

TEST_P(HandlesTest, DisconnectAndStopReleaseWhatHangsOnThem) {
    ASSERT_EQ(Create("Unix", {Str("name", "h1")}), 0);
    ORBOM_SELECTION s = 0;
    uint32_t count = 0;
    ASSERT_EQ(ORBOM_ObjectList_Select(conn_, "Unix", 0, "*", 0, &s, &count, nullptr, nullptr), 0);
    ORBOM_OBJECT o = 0;
    ASSERT_EQ(ORBOM_ObjectList_GetNext(s, &o, nullptr), 0);

    ORBOM_CONNECTION other = 0;
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Test", &other), 0);
    const ORBOM_CONNECTION first = conn_;
    ASSERT_EQ(ORBOM_Repository_Disconnect(&conn_), 0);
    EXPECT_EQ(conn_, 0u);
    EXPECT_EQ(ORBOM_Repository_Disconnect(&conn_), ORBOM_RC_INVALID_REPOSITORY_CONTEXT);
    EXPECT_EQ(ORBOM_Object_Create(first, "Unix", 0), ORBOM_RC_INVALID_REPOSITORY_CONTEXT);
    EXPECT_EQ(ORBOM_ObjectList_GetNext(s, &o, nullptr), ORBOM_RC_NO_SELECT);
    EXPECT_EQ(ORBOM_Object_GetProperty(o, "name", nullptr, nullptr, nullptr, nullptr),
              ORBOM_RC_INVALID_OBJECT);
    EXPECT_EQ(ORBOM_ObjectList_EndSelect(&s), ORBOM_RC_NO_SELECT);

    // Stopping the kernel ends the connections still open on it.
    ASSERT_EQ(ORBOM_Kernel_Stop(&kernel_), 0);
    EXPECT_EQ(kernel_, 0u);
    EXPECT_EQ(ORBOM_Object_Create(other, "Unix", 0), ORBOM_RC_INVALID_REPOSITORY_CONTEXT);
    EXPECT_EQ(ORBOM_Kernel_Stop(&kernel_), ORBOM_RC_INVALID_KERNEL_CONTEXT);
}

NWOMAPI_ON_BOTH(HandlesTest);

}  // namespace
}  // namespace nwomapitest
