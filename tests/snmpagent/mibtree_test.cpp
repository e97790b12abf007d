// The OID registry on its own: codes, order, removal. Its objects live below
// .1.3.6.1.4.1.1000, before the agent's own subtree, which the tests of the
// same process may have registered too.
#include "snmpagent/mibtree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "snmpagent/agentlist.h"

namespace {

const std::string kBase = ".1.3.6.1.4.1.1000";

MibEntry entryNamed(const char* text) {
    return MibEntry{".x", ASN_OCTETSTRING, kMibReadOnly, nullptr, 0, text, nullptr};
}

// The registered OIDs from `from` on, by repeated GETNEXT, while below prefix.
std::vector<std::string> walk(const std::string& from, const std::string& prefix) {
    std::vector<std::string> names;
    std::string current = from;
    char next[kMibOidTextSize];
    for (int guard = 0; guard < 100; ++guard) {
        if (mibGetNext(current.c_str(), next, sizeof next, nullptr) != 0) break;
        current = next;
        if (current.rfind(prefix, 0) != 0) break;
        names.push_back(current);
    }
    return names;
}

class MibTree : public ::testing::Test {
protected:
    void TearDown() override { mibRemove(base_.c_str()); }
    std::string at(const std::string& suffix) const { return base_ + suffix; }
    // Each test its own subtree, so a failed test leaves nothing for the next.
    std::string base_ = kBase + "." + std::to_string(++subtrees_);
    static inline int subtrees_ = 0;
};

TEST_F(MibTree, InsertAnswersTheErrnoCodes) {
    const MibEntry first = entryNamed("first");
    const MibEntry second = entryNamed("second");
    EXPECT_EQ(mibInsert(at(".1.0").c_str(), &first), 0);
    EXPECT_EQ(mibInsert(at(".1.0").c_str(), &second), 17);
    const MibEntry* found = nullptr;
    ASSERT_EQ(mibGet(at(".1.0").c_str(), &found), 0);
    EXPECT_EQ(found, &first);  // the first registration stays

    // An interior node becomes an object when registered itself.
    EXPECT_EQ(mibGet(at(".1").c_str(), &found), 2);
    EXPECT_EQ(mibInsert(at(".1").c_str(), &second), 0);
    EXPECT_EQ(mibGet(at(".1").c_str(), &found), 0);
    EXPECT_EQ(found, &second);

    for (const std::string bad : {"", ".", "1..3", ".1.3.", ".1.x.3", "1.3.-1", ".1.4294967296",
                                  " .1.3"})
        EXPECT_EQ(mibInsert(bad.c_str(), &first), 22) << bad;
    EXPECT_EQ(mibInsert(nullptr, &first), 22);
    // Too long for a node's text, though a valid OID.
    std::string longText = at("");
    while (longText.size() < 300) longText += ".4294967295";
    EXPECT_EQ(mibInsert(longText.c_str(), &first), 22);
    EXPECT_EQ(mibFind(longText.c_str()), nullptr);
}

TEST_F(MibTree, RemoveTakesTheSubtreeAndKeepsAncestors) {
    const MibEntry entry = entryNamed("cell");
    for (const char* cell : {".9.1.1.1.0", ".9.1.1.1.1", ".9.1.1.2.0", ".10.1.1.1.0"})
        ASSERT_EQ(mibInsert(at(cell).c_str(), &entry), 0);
    EXPECT_EQ(mibRemove(at(".9").c_str()), 0);
    EXPECT_EQ(mibFind(at(".9").c_str()), nullptr);
    EXPECT_EQ(mibGet(at(".9.1.1.1.0").c_str(), nullptr), 2);
    EXPECT_NE(mibFind(at("").c_str()), nullptr);
    EXPECT_EQ(mibGet(at(".10.1.1.1.0").c_str(), nullptr), 0);

    EXPECT_EQ(mibRemove(at(".9").c_str()), 2);
    EXPECT_EQ(mibRemove(at(".11.1").c_str()), 2);
    EXPECT_EQ(mibRemove("1.x"), 22);

    // Removed cells register again.
    EXPECT_EQ(mibInsert(at(".9.1.1.1.0").c_str(), &entry), 0);
}

TEST_F(MibTree, GetNextFollowsArcOrderFromAnyName) {
    const MibEntry entry = entryNamed("cell");
    // Inserted out of order, with arcs that sort differently as text.
    for (const char* cell : {".12.1.0", ".9.2", ".2.0", ".9.10", ".9.1.5", ".100.0"})
        ASSERT_EQ(mibInsert(at(cell).c_str(), &entry), 0);
    const std::vector<std::string> expected = {at(".2.0"), at(".9.1.5"), at(".9.2"),
                                               at(".9.10"), at(".12.1.0"), at(".100.0")};
    EXPECT_EQ(walk(at(""), at(".")), expected);

    char next[kMibOidTextSize];
    const MibEntry* found = nullptr;
    // From names that are no node: between, below and beside objects.
    ASSERT_EQ(mibGetNext(at(".9.1").c_str(), next, sizeof next, &found), 0);
    EXPECT_EQ(next, at(".9.1.5"));
    EXPECT_EQ(found, &entry);
    ASSERT_EQ(mibGetNext(at(".9.1.5.0.0").c_str(), next, sizeof next, nullptr), 0);
    EXPECT_EQ(next, at(".9.2"));
    ASSERT_EQ(mibGetNext(at(".9.3").c_str(), next, sizeof next, nullptr), 0);
    EXPECT_EQ(next, at(".9.10"));
    ASSERT_EQ(mibGetNext(at(".50").c_str(), next, sizeof next, nullptr), 0);
    EXPECT_EQ(next, at(".100.0"));

    // An emptied subtree whose ancestors stay is stepped over.
    ASSERT_EQ(mibRemove(at(".9.1.5").c_str()), 0);
    ASSERT_EQ(mibGetNext(at(".2.0").c_str(), next, sizeof next, nullptr), 0);
    EXPECT_EQ(next, at(".9.2"));

    // Nothing after the last object of the whole registry; text that is no OID.
    EXPECT_EQ(mibGetNext(".2", next, sizeof next, nullptr), 2);
    EXPECT_EQ(mibGetNext(".1.3.x", next, sizeof next, nullptr), 2);
    EXPECT_EQ(mibGetNext(nullptr, next, sizeof next, nullptr), 2);

    // The answer is cut to the caller's buffer, never written past it.
    char small[8];
    ASSERT_EQ(mibGetNext(at(".2").c_str(), small, sizeof small, nullptr), 0);
    EXPECT_EQ(std::string(small), at(".2.0").substr(0, 7));
}

TEST(AgentList, AppendInsertAndUnlinkKeepBothDirections) {
    struct Item {
        AgentListLink link;
        int value;
    };
    AgentList list{};
    Item a{{}, 1}, b{{}, 2}, c{{}, 3}, d{{}, 4};
    listAppend(&list, &b.link);
    listInsertBefore(&list, &b.link, &a.link);  // new head
    listInsertBefore(&list, nullptr, &d.link);  // append
    listInsertBefore(&list, &d.link, &c.link);  // middle
    std::vector<int> order;
    for (Item* item = listNextAs<Item>(&list, nullptr); item; item = listNextAs(&list, item))
        order.push_back(item->value);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(list.count, 4);

    listUnlink(&list, &a.link);  // head
    listUnlink(&list, &d.link);  // tail
    listUnlink(&list, &c.link);  // last but one
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(list.head, &b.link);
    EXPECT_EQ(list.tail, &b.link);
    EXPECT_EQ(b.link.prev, nullptr);
    EXPECT_EQ(b.link.next, nullptr);
    listUnlink(&list, &b.link);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(listNext(&list, nullptr), nullptr);
    EXPECT_EQ(list.tail, nullptr);
}

}  // namespace
