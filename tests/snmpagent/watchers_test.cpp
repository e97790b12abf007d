// The watcher list: its registry strings and the renumbering of the table
// when a watcher goes.
#include "snmpagent/watchers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/registry.h"
#include "snmpagent/agentsettings.h"
#include "snmpagent/mibtree.h"
#include "snmpagent/watchertext.h"
#include "tests/snmpagent/agent_harness.h"

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

TEST(WatcherStrings, EveryStorablePathReadsBackAsWritten) {
    WatcherEntry entry{};
    for (const std::string& path :
         {std::string("C:\\a,b\\c.txt"), std::string("C:\\\",\"\\x"), std::string(1023, 'p')}) {
        snprintf(entry.path, sizeof entry.path, "%s", path.c_str());
        entry.warnTime = -7;
        entry.warnQuantum = 1;
        entry.critTime = 2147483647;
        entry.critQuantum = 0;
        char line[kWatcherTextSize];
        const size_t length = formatWatcherString(entry, line, sizeof line);
        if (!storableWatcherPath(path.data(), path.size())) {
            EXPECT_EQ(length, 0u) << path;
            continue;
        }
        ASSERT_GT(length, 0u) << path;
        WatcherEntry back{};
        ASSERT_TRUE(parseWatcherString(line, &back)) << line;
        EXPECT_STREQ(back.path, entry.path);
        EXPECT_EQ(back.warnTime, -7);
        EXPECT_EQ(back.critTime, 2147483647);
        EXPECT_EQ(back.critQuantum, 0);
    }
    EXPECT_FALSE(storableWatcherPath("a\0b", 3));
    EXPECT_FALSE(storableWatcherPath("a\"b", 3));
}

// Form SETs through the agent, as the SNMP service sends them.
AsnInteger32 setPath(int scalar, const std::string& text) {
    agenttest::Request request{agenttest::below(".12." + std::to_string(scalar) + ".0")};
    request.setText(0, text);
    return request.send(SNMP_PDU_SET);
}

AsnInteger32 press(int button) {
    agenttest::Request request{agenttest::below(".12." + std::to_string(button) + ".0")};
    request.setInteger(0, 1);
    return request.send(SNMP_PDU_SET);
}

std::vector<BYTE> storedWatchers() {
    orb::RegValue value;
    EXPECT_EQ(orb::RegReadValue(kAgentKey, "Watchers", &value), ERROR_SUCCESS);
    return value.data;
}

TEST(WatcherForm, PathsThatWouldNotReadBackAreRefusedAndNothingChanges) {
    agenttest::startAgent();
    ASSERT_EQ(orb::RegSetDword(kAgentKey, "WatcherFormTest", 1), ERROR_SUCCESS);
    ASSERT_EQ(setPath(2, "C:\\keep.txt"), SNMP_ERRORSTATUS_NOERROR);
    ASSERT_EQ(press(5), SNMP_ERRORSTATUS_NOERROR);
    const std::vector<BYTE> before = storedWatchers();
    ASSERT_GT(before.size(), 3u);

    const std::string withNul("C:\\keep.txt\0other", 18);
    for (int scalar : {2, 6, 8}) {
        EXPECT_EQ(setPath(scalar, "C:\\a\",\"b"), SNMP_ERRORSTATUS_BADVALUE) << scalar;
        EXPECT_EQ(setPath(scalar, withNul), SNMP_ERRORSTATUS_BADVALUE) << scalar;
        agenttest::Request wrongType{agenttest::below(".12." + std::to_string(scalar) + ".0")};
        wrongType.setInteger(0, 1);
        EXPECT_EQ(wrongType.send(SNMP_PDU_SET), SNMP_ERRORSTATUS_BADVALUE) << scalar;
    }
    agenttest::Request number{agenttest::below(".12.3.0")};
    number.setText(0, "3");
    EXPECT_EQ(number.send(SNMP_PDU_SET), SNMP_ERRORSTATUS_BADVALUE);

    // The add field kept its text, and the delete path refused above did not
    // delete the watcher its first part names.
    agenttest::Request addPath{agenttest::below(".12.2.0")};
    ASSERT_EQ(addPath.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(addPath.text(0), "C:\\keep.txt");
    EXPECT_EQ(press(5), SNMP_ERRORSTATUS_BADVALUE);  // watched already
    EXPECT_EQ(press(7), SNMP_ERRORSTATUS_BADVALUE);  // no delete path
    EXPECT_EQ(storedWatchers(), before);
    {
        std::lock_guard<orb::CriticalSection> hold(historyLock());
        ASSERT_EQ(watcherList().count, 1);
        EXPECT_STREQ(watcherAt(0)->path, "C:\\keep.txt");
    }
    ASSERT_EQ(setPath(6, "C:\\keep.txt"), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(press(7), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(watcherList().count, 0);
}

AsnInteger32 setNumber(int scalar, AsnInteger32 value) {
    agenttest::Request request{agenttest::below(".12." + std::to_string(scalar) + ".0")};
    request.setInteger(0, value);
    return request.send(SNMP_PDU_SET);
}

AsnInteger32 getNumber(int scalar) {
    agenttest::Request request{agenttest::below(".12." + std::to_string(scalar) + ".0")};
    EXPECT_EQ(request.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOERROR);
    return request.number(0);
}

LONG watcherCount() {
    std::lock_guard<orb::CriticalSection> hold(historyLock());
    return watcherList().count;
}

// Limits that name no age or put the warning beyond the critical one, a
// second add of a path, a delete of an unknown one and an add past the cap
// are refused; the list and the registry stay as they were.
TEST(WatcherForm, BadLimitsRepeatedOrUnknownPathsAndAddsPastTheCapAreRefused) {
    agenttest::startAgent();
    ASSERT_EQ(orb::RegSetDword(kAgentKey, "WatcherFormTest", 1), ERROR_SUCCESS);
    ASSERT_EQ(watcherCount(), 0);
    for (int scalar : {3, 4, 9, 10}) {
        const AsnInteger32 kept = getNumber(scalar);
        EXPECT_EQ(setNumber(scalar, -1), SNMP_ERRORSTATUS_BADVALUE) << scalar;
        EXPECT_EQ(getNumber(scalar), kept) << scalar;
    }

    ASSERT_EQ(setPath(2, "C:\\limits.txt"), SNMP_ERRORSTATUS_NOERROR);
    ASSERT_EQ(setNumber(3, 10), SNMP_ERRORSTATUS_NOERROR);  // 10 days before critical's 5
    EXPECT_EQ(press(5), SNMP_ERRORSTATUS_BADVALUE);
    ASSERT_EQ(setNumber(3, 3), SNMP_ERRORSTATUS_NOERROR);
    ASSERT_EQ(setNumber(14, 3), SNMP_ERRORSTATUS_NOERROR);  // 3 days before 5 hours
    EXPECT_EQ(press(5), SNMP_ERRORSTATUS_BADVALUE);
    EXPECT_EQ(watcherCount(), 0);
    ASSERT_EQ(setNumber(4, 72), SNMP_ERRORSTATUS_NOERROR);  // 3 days, 72 hours: equal is fine
    EXPECT_EQ(press(5), SNMP_ERRORSTATUS_NOERROR);
    ASSERT_EQ(watcherCount(), 1);
    const std::vector<BYTE> one = storedWatchers();
    EXPECT_EQ(press(5), SNMP_ERRORSTATUS_BADVALUE);

    ASSERT_EQ(setPath(8, "C:\\limits.txt"), SNMP_ERRORSTATUS_NOERROR);
    ASSERT_EQ(setNumber(9, 2), SNMP_ERRORSTATUS_NOERROR);
    ASSERT_EQ(setNumber(10, 1), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(press(11), SNMP_ERRORSTATUS_BADVALUE);
    {
        std::lock_guard<orb::CriticalSection> hold(historyLock());
        EXPECT_EQ(watcherAt(0)->warnTime, 3);
        EXPECT_EQ(watcherAt(0)->critTime, 72);
    }
    ASSERT_EQ(setPath(6, "C:\\nowhere.txt"), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(press(7), SNMP_ERRORSTATUS_BADVALUE);
    EXPECT_EQ(watcherCount(), 1);
    EXPECT_EQ(storedWatchers(), one);

    // Filled to the cap (directly, as a long registry value loads), one more
    // add through the form is refused.
    for (LONG i = watcherCount(); i < kMaxWatchers; ++i) {
        WatcherEntry entry{};
        snprintf(entry.path, sizeof entry.path, "C:\\many\\%d.txt", static_cast<int>(i));
        entry.warnQuantum = entry.critQuantum = 4;
        ASSERT_EQ(historyInsert(entry), 0);
    }
    ASSERT_EQ(setPath(2, "C:\\one-more.txt"), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(press(5), SNMP_ERRORSTATUS_BADVALUE);
    EXPECT_EQ(watcherCount(), kMaxWatchers);

    for (LONG i = 1; i < kMaxWatchers; ++i)
        historyDelete(("C:\\many\\" + std::to_string(i) + ".txt").c_str());
    ASSERT_EQ(setPath(6, "C:\\limits.txt"), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(press(7), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(watcherCount(), 0);
    // The form's fields live as long as the process: back to their start.
    for (auto [scalar, value] : {std::pair{4, 5}, {14, 4}, {9, 0}, {10, 0}})
        EXPECT_EQ(setNumber(scalar, value), SNMP_ERRORSTATUS_NOERROR);
}

}  // namespace
