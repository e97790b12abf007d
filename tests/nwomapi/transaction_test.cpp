// Units of work spanning several calls: all or nothing, invisible to other
// connections until committed, and exclusive, so that a find-then-create in
// one cannot race with the same find-then-create in another.
#include <thread>
#include <vector>

#include "tests/nwomapi/repository_fixture.h"

namespace nwomapitest {
namespace {

class TransactionTest : public RepositoryTest {
protected:
    ORBOM_RC CreateOn(ORBOM_CONNECTION c, const std::string& name) {
        ORBOM_PROPLIST list = Properties({Str("name", name)});
        const ORBOM_RC rc = ORBOM_Object_Create(c, "Unix", list);
        ORBOM_PropertyList_Free(&list);
        return rc;
    }
    uint32_t CountOn(ORBOM_CONNECTION c, const std::string& name) {
        ORBOM_CRITERIA where = Criteria({Str("name", name)});
        ORBOM_SELECTION selection = 0;
        uint32_t count = 0;
        EXPECT_EQ(ORBOM_ObjectList_Select(c, "Unix", where, "*", 0, &selection, &count, nullptr,
                                          nullptr),
                  0);
        ORBOM_ObjectList_EndSelect(&selection);
        ORBOM_Criteria_Free(&where);
        return count;
    }
};

TEST_P(TransactionTest, WritesOfAUnitHappenTogetherOrNotAtAll) {
    ORBOM_CONNECTION other = 0;
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Test", &other), 0);

    ASSERT_EQ(ORBOM_Transaction_Begin(conn_), 0);
    ASSERT_EQ(CreateOn(conn_, "kept-1"), 0);
    // A refused write inside the unit undoes only itself.
    ORBOM_PROPLIST bad = Properties({Str("no_such_property", "x")});
    EXPECT_EQ(ORBOM_Object_Create(conn_, "Unix", bad), ORBOM_RC_INVALID_PROPERTY);
    ORBOM_PropertyList_Free(&bad);
    ASSERT_EQ(CreateOn(conn_, "kept-2"), 0);
    uint32_t deleted = 0;
    ORBOM_CRITERIA where = Criteria({Str("name", "kept-2")});
    EXPECT_EQ(ORBOM_Object_Delete(conn_, "Unix", where, &deleted), 0);
    ORBOM_Criteria_Free(&where);
    EXPECT_EQ(deleted, 1u);
    // The unit sees its own writes; the other connection sees none yet.
    EXPECT_EQ(CountOn(conn_, "kept-1"), 1u);
    EXPECT_EQ(CountOn(other, "kept-1"), 0u);
    ASSERT_EQ(ORBOM_Transaction_Commit(conn_), 0);
    EXPECT_EQ(CountOn(other, "kept-1"), 1u);
    EXPECT_EQ(CountOn(other, "kept-2"), 0u);

    ASSERT_EQ(ORBOM_Transaction_Begin(conn_), 0);
    ASSERT_EQ(CreateOn(conn_, "undone"), 0);
    ASSERT_EQ(ORBOM_Transaction_Rollback(conn_), 0);
    EXPECT_EQ(CountOn(conn_, "undone"), 0u);

    // A connection that ends inside a unit leaves nothing of it.
    ASSERT_EQ(ORBOM_Transaction_Begin(other), 0);
    ASSERT_EQ(CreateOn(other, "dropped"), 0);
    ASSERT_EQ(ORBOM_Repository_Disconnect(&other), 0);
    EXPECT_EQ(CountOn(conn_, "dropped"), 0u);
    // And the repository is free for the next unit.
    ASSERT_EQ(ORBOM_Transaction_Begin(conn_), 0);
    EXPECT_EQ(ORBOM_Transaction_Commit(conn_), 0);
}

// Classes imported inside a unit go with its rollback, and the connection
// knows it: their objects are refused, the older classes still serve.
TEST_P(TransactionTest, ARolledBackImportTakesItsClassesAlong) {
    ASSERT_EQ(ORBOM_Transaction_Begin(conn_), 0);
    ASSERT_EQ(Import("class Gadget\n    name string\nend\n"), 0);
    EXPECT_EQ(Create("Gadget", {Str("name", "inside")}), 0);
    ASSERT_EQ(ORBOM_Transaction_Rollback(conn_), 0);
    EXPECT_EQ(Create("Gadget", {Str("name", "after")}), ORBOM_RC_INVALID_CLASS);
    EXPECT_EQ(CreateOn(conn_, "still-there"), 0);

    // A rollback without an import keeps what the connection knows, including
    // classes committed meanwhile by another connection.
    ORBOM_CONNECTION other = 0;
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Test", &other), 0);
    const std::string gizmo = "class Gizmo\n    name string\nend\n";
    ASSERT_EQ(ORBOM_Class_Import(other, gizmo.c_str(), static_cast<uint32_t>(gizmo.size()), nullptr,
                                 nullptr, 0),
              0);
    ASSERT_EQ(ORBOM_Transaction_Begin(conn_), 0);
    EXPECT_EQ(Create("Gizmo", {Str("name", "seen")}), 0);
    ASSERT_EQ(ORBOM_Transaction_Rollback(conn_), 0);
    EXPECT_EQ(Create("Gizmo", {Str("name", "kept")}), 0);
    ORBOM_Repository_Disconnect(&other);
}

TEST_P(TransactionTest, UnitsDoNotNestAndNeedABeginning) {
    EXPECT_EQ(ORBOM_Transaction_Commit(conn_), ORBOM_RC_NO_SELECT);
    EXPECT_EQ(ORBOM_Transaction_Rollback(conn_), ORBOM_RC_NO_SELECT);
    ASSERT_EQ(ORBOM_Transaction_Begin(conn_), 0);
    EXPECT_EQ(ORBOM_Transaction_Begin(conn_), ORBOM_RC_SELECT_IN_PROGRESS);
    EXPECT_EQ(ORBOM_Transaction_Commit(conn_), 0);
    EXPECT_EQ(ORBOM_Transaction_Commit(conn_), ORBOM_RC_NO_SELECT);
    EXPECT_EQ(ORBOM_Transaction_Begin(0), ORBOM_RC_INVALID_REPOSITORY_CONTEXT);
    EXPECT_EQ(ORBOM_Transaction_Commit(12345), ORBOM_RC_INVALID_REPOSITORY_CONTEXT);
}

// Four connections race to create the one object of each of 30 names, each
// looking first: inside units every name ends up created exactly once.
TEST_P(TransactionTest, FindThenCreateInUnitsMakesEachObjectOnce) {
    constexpr int kWriters = 4;
    constexpr int kNames = 30;
    std::vector<ORBOM_CONNECTION> connections(kWriters);
    for (ORBOM_CONNECTION& c : connections) {
        ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Test", &c), 0);
    }
    std::vector<std::thread> threads;
    for (ORBOM_CONNECTION c : connections) {
        threads.emplace_back([this, c] {
            for (int i = 0; i < kNames; ++i) {
                const std::string name = "once-" + std::to_string(i);
                ASSERT_EQ(ORBOM_Transaction_Begin(c), 0);
                if (CountOn(c, name) == 0) {
                    EXPECT_EQ(CreateOn(c, name), 0);
                }
                ASSERT_EQ(ORBOM_Transaction_Commit(c), 0);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (int i = 0; i < kNames; ++i) {
        EXPECT_EQ(CountOn(conn_, "once-" + std::to_string(i)), 1u) << i;
    }
    for (ORBOM_CONNECTION& c : connections) ORBOM_Repository_Disconnect(&c);
}

NWOMAPI_ON_BOTH(TransactionTest);

}  // namespace
}  // namespace nwomapitest
