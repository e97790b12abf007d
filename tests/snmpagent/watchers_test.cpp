// The watcher list: its registry strings and the renumbering of the table
// when a watcher goes.
#include "snmpagent/watchers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "snmpagent/mibtree.h"

namespace {

TEST(WatcherStrings, FiveQuotedFieldsLoadAndMalformedOnesAreRefused) {
    WatcherEntry entry{};
    ASSERT_TRUE(parseWatcherString("\"C:\\data\\a.txt\",\"3\",\"4\",\"5\",\"4\"", &entry));
    EXPECT_STREQ(entry.path, "C:\\data\\a.txt");
    EXPECT_EQ(entry.warnTime, 3);
    EXPECT_EQ(entry.warnQuantum, 4);
    EXPECT_EQ(entry.critTime, 5);
    EXPECT_EQ(entry.critQuantum, 4);
    EXPECT_EQ(entry.status, 1);
    ASSERT_TRUE(parseWatcherString("\"x\",\" -2\",\"1\",\"+7days\",\"0\"", &entry));
    EXPECT_EQ(entry.warnTime, -2);
    EXPECT_EQ(entry.critTime, 7);

    for (const std::string& bad : std::vector<std::string>
         {std::string("C:\\a.txt,3,4,5,4"), "\"C:\\a.txt\",\"3\",\"4\",\"5\"",
          "\"C:\\a.txt\" \"3\",\"4\",\"5\",\"4\"", "\"C:\\a.txt", "\"a\",\"3\",\"9\",\"5\",\"4\"",
          "\"" + std::string(1024, 'p') + "\",\"3\",\"4\",\"5\",\"4\""}) {
        WatcherEntry refused{};
        EXPECT_FALSE(parseWatcherString(bad.c_str(), &refused)) << bad;
    }
}

std::string cell(int column, int row) {
    return std::string(kWatcherTableText) + ".1.1." + std::to_string(column) + "." +
           std::to_string(row);
}

TEST(WatcherList, DeletingTheFirstMovesTheOthersUp) {
    for (const char* path : {"C:\\one", "C:\\two", "C:\\three"}) {
        WatcherEntry entry{};
        snprintf(entry.path, sizeof entry.path, "%s", path);
        entry.warnQuantum = entry.critQuantum = 4;
        EXPECT_EQ(historyInsert(entry), 0);
    }
    WatcherEntry again{};
    snprintf(again.path, sizeof again.path, "C:\\two");
    EXPECT_EQ(historyInsert(again), 17);
    EXPECT_EQ(historyDelete("C:\\nowhere"), 17);

    EXPECT_EQ(historyDelete("C:\\one"), 0);
    const MibEntry* entry = nullptr;
    {
        std::lock_guard<orb::CriticalSection> hold(historyLock());
        EXPECT_STREQ(watcherAt(0)->path, "C:\\two");
        EXPECT_STREQ(watcherAt(1)->path, "C:\\three");
        EXPECT_EQ(watcherAt(2), nullptr);
    }
    EXPECT_EQ(mibGet(cell(6, 1).c_str(), &entry), 0);
    EXPECT_EQ(mibGet(cell(1, 2).c_str(), &entry), 2);

    historyDelete("C:\\two");
    historyDelete("C:\\three");
    EXPECT_EQ(watcherList().count, 0);
}

}  // namespace
