// Connections, enumeration and backup-age rating against a query library
// stand-in whose answers each test scripts.
#include "snmpagent/serverquery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "platform/debug.h"
#include "platform/sync.h"
#include "snmpagent/ebqrybinding.h"

namespace {

// One scripted answer of an enumeration call.
struct Batch {
    LONG rc;
    std::vector<int32_t> identifiers;
};

struct FakeServer {
    LONG connectRc = 0;
    int connects = 0;
    int disconnects = 0;
    int nextCalls = 0;
    int endCalls = 0;
    LONG endRc = 0;
    std::vector<Batch> batches;  // begin, then each get-next
    size_t nextBatch = 0;
    std::vector<BYTE> buffer;
    std::vector<DWORD> historyStartTimes;
    LONG historyRc = 0;
    std::string directory, fileName;
    bool logonSeen = false;
};

FakeServer* g_server = nullptr;

LONG fakeConnect(LPCSTR, const BYTE* logon, BYTE*) {
    ++g_server->connects;
    g_server->logonSeen = strcmp(reinterpret_cast<const char*>(logon + 192), "_CoreSvc_") == 0 &&
                          strcmp(reinterpret_cast<const char*>(logon + 256), "$%kXoPzEd%$") == 0;
    return g_server->connectRc;
}

LONG fakeDisconnect(LPCSTR, const BYTE*, BYTE*) {
    ++g_server->disconnects;
    return 0;
}

LONG deliver(LPVOID* batch, DWORD* count) {
    const Batch& next = g_server->batches.at(g_server->nextBatch++);
    g_server->buffer.assign(next.identifiers.size() * 200, 0);
    for (size_t i = 0; i < next.identifiers.size(); ++i) {
        const int32_t type = 1;
        memcpy(&g_server->buffer[i * 200], &type, 4);
        memcpy(&g_server->buffer[i * 200 + 16], &next.identifiers[i], 4);
    }
    *batch = g_server->buffer.data();
    *count = static_cast<DWORD>(next.identifiers.size());
    return next.rc;
}

LONG fakeBegin(BYTE*, LONG, LONG, LPVOID* batch, DWORD* count) { return deliver(batch, count); }

LONG fakeNext(BYTE*, LONG, LONG, LPVOID* batch, DWORD* count) {
    ++g_server->nextCalls;
    return deliver(batch, count);
}

LONG fakeEnd(BYTE*, LONG, LONG, LPVOID*, DWORD*) {
    ++g_server->endCalls;
    return g_server->endRc;
}

LONG fakeHistory(BYTE*, LONG, LPCSTR directory, LPCSTR fileName, LONG, LPVOID* records,
                 DWORD* count) {
    g_server->directory = directory;
    g_server->fileName = fileName;
    g_server->buffer.assign(g_server->historyStartTimes.size() * 152, 0);
    for (size_t i = 0; i < g_server->historyStartTimes.size(); ++i)
        memcpy(&g_server->buffer[i * 152 + 64], &g_server->historyStartTimes[i], 4);
    *records = g_server->buffer.data();
    *count = static_cast<DWORD>(g_server->historyStartTimes.size());
    return g_server->historyRc;
}

// The MS-DOS date and time of a local time.
DWORD dosTime(time_t when) {
    struct tm local {};
    localtime_r(&when, &local);
    return static_cast<DWORD>((local.tm_year - 80) << 25 | (local.tm_mon + 1) << 21 |
                              local.tm_mday << 16 | local.tm_hour << 11 | local.tm_min << 5 |
                              local.tm_sec / 2);
}

std::vector<int32_t> g_collected;

int collectInto(int32_t, const BYTE* record) {
    int32_t identifier = 0;
    memcpy(&identifier, record + 16, 4);
    g_collected.push_back(identifier);
    return 0;
}

class ServerQuery : public testing::Test {
  protected:
    void SetUp() override {
        g_server = &server_;
        g_collected.clear();
        FARPROC functions[kEbqryFunctionCount] = {};
        functions[kVlvConnectServerEB - 1] = reinterpret_cast<FARPROC>(fakeConnect);
        functions[kVlvDisconnectServerEB - 1] = reinterpret_cast<FARPROC>(fakeDisconnect);
        functions[kVlvBeginEnumObject - 1] = reinterpret_cast<FARPROC>(fakeBegin);
        functions[kVlvGetNextEnumObject - 1] = reinterpret_cast<FARPROC>(fakeNext);
        functions[kVlvEndEnumObject - 1] = reinterpret_cast<FARPROC>(fakeEnd);
        functions[kVlvGetBackupHistoryByFilename - 1] = reinterpret_cast<FARPROC>(fakeHistory);
        lebInstallFunctions(functions);
    }
    void TearDown() override {
        lebInstallFunctions(nullptr);
        g_server = nullptr;
    }
    int collect() {
        int code = -1;
        lebCollectObject(1, 0, collectInto, &code);
        return code;
    }
    int check(DWORD warn, DWORD crit, const char* path = "C:\\data\\report.doc") {
        int status = -1;
        lebCheckBackupDate(path, warn, crit, &status);
        return status;
    }
    FakeServer server_;
};

TEST_F(ServerQuery, EnumerationDeliversEveryBatchInOrderAndEndsOnTheLastOne) {
    server_.batches = {{0, {1, 2}}, {0, {}}, {0, {3}}, {100, {4, 5}}};
    EXPECT_EQ(collect(), 0);
    EXPECT_EQ(g_collected, (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_EQ(server_.nextCalls, 3);
    EXPECT_EQ(server_.endCalls, 1);
    EXPECT_TRUE(server_.logonSeen);
    EXPECT_EQ(server_.disconnects, 1);

    // A last batch at once: exactly its records, no further call.
    server_ = {};
    g_collected.clear();
    server_.batches = {{100, {1, 2, 3, 4, 5}}};
    EXPECT_EQ(collect(), 0);
    EXPECT_EQ(g_collected.size(), 5u);
    EXPECT_EQ(server_.nextCalls, 0);

    // An empty first batch goes straight to the end call.
    server_ = {};
    server_.batches = {{0, {}}};
    EXPECT_EQ(collect(), 0);
    EXPECT_EQ(server_.nextCalls, 0);
    EXPECT_EQ(server_.endCalls, 1);
}

TEST_F(ServerQuery, FailuresGive101OrTheConnectCodeAndLeaveNoConnectionOpen) {
    server_.batches = {{0, {1}}, {7, {}}};
    EXPECT_EQ(collect(), 101);
    EXPECT_EQ(server_.disconnects, 1);  // closed although the enumeration failed

    server_ = {};
    server_.batches = {{100, {1}}};
    server_.endRc = 5;
    EXPECT_EQ(collect(), 101);
    EXPECT_EQ(server_.disconnects, 1);

    server_ = {};
    server_.connectRc = 1003;
    EXPECT_EQ(collect(), 1003);
    EXPECT_EQ(check(60, 120), 1003);
    EXPECT_EQ(server_.disconnects, 0);

    lebInstallFunctions(nullptr);
    EXPECT_EQ(collect(), 101);
    EXPECT_EQ(check(60, 120), 101);
}

TEST_F(ServerQuery, TheNewestBackupRatesTheFileWhateverTheRecordOrder) {
    const time_t now = orb::CurrentClock().WallTime();
    const DWORD day = 86400;
    // Warning after 3 days, critical after 5.
    server_.historyStartTimes = {dosTime(now - 6 * day), dosTime(now - 4 * day)};
    EXPECT_EQ(check(3 * day, 5 * day), 2);
    server_.historyStartTimes = {dosTime(now - 4 * day), dosTime(now - 6 * day)};
    EXPECT_EQ(check(3 * day, 5 * day), 2);
    server_.historyStartTimes = {dosTime(now - 6 * day)};
    EXPECT_EQ(check(3 * day, 5 * day), 3);
    server_.historyStartTimes = {0, dosTime(now - day)};
    EXPECT_EQ(check(3 * day, 5 * day), 1);
    EXPECT_EQ(server_.directory, "C:\\data");
    EXPECT_EQ(server_.fileName, "report.doc");
    EXPECT_EQ(server_.disconnects, 4);
}

TEST_F(ServerQuery, AMissingHistoryIsCriticalAndHugeLimitsDoNotWrap) {
    EXPECT_EQ(check(60, 120), 3);  // never backed up
    server_.historyRc = 9;
    server_.historyStartTimes = {dosTime(orb::CurrentClock().WallTime())};
    EXPECT_EQ(check(60, 120), 3);  // history call failed

    server_.historyRc = 0;
    server_.historyStartTimes = {dosTime(orb::CurrentClock().WallTime() - 600)};
    // Limits near 2^32 seconds: in 32 bits the sums would wrap below now.
    EXPECT_EQ(check(0xFFFFFF00u, 0xFFFFFFFFu), 1);
    EXPECT_EQ(check(300, 0xFFFFFFFFu), 2);

    check(60, 120, "report.doc");
    EXPECT_EQ(server_.directory, "");
    EXPECT_EQ(server_.fileName, "report.doc");
}

TEST_F(ServerQuery, AnEmptyHistoryIsTracedWithItsCountBeforeTheVerdict) {
    std::vector<std::string> lines;
    orb::SetDebugSink([&lines](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(check(60, 120), 3);
    orb::SetDebugSink(nullptr);
    const std::vector<std::string> expected = {
        "lebCheckBackupDate: VlvGetBackupHistoryByFilename return ucnt=0, rc=0\n",
        "lebCheckBackupDate: No backup record found for file\n"};
    auto found = std::search(lines.begin(), lines.end(), expected.begin(), expected.end());
    EXPECT_NE(found, lines.end()) << testing::PrintToString(lines);
}

TEST(BackupAge, LimitsAreComparedIn64Bits) {
    EXPECT_EQ(rateBackupAge(1000, 0, 2000, 3000), 1);
    EXPECT_EQ(rateBackupAge(2000, 0, 2000, 3000), 2);
    EXPECT_EQ(rateBackupAge(3000, 0, 2000, 3000), 3);
    EXPECT_EQ(rateBackupAge(0x7FFFFFFFLL + 10, 0x7FFFFF00LL, 0xFFFFFFFFu, 0xFFFFFFFFu), 1);
}

}  // namespace
