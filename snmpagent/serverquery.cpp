#include "snmpagent/serverquery.h"

#include <cstring>
#include <ctime>
#include <new>

#include "platform/sync.h"
#include "snmpagent/ebqrybinding.h"
#include "snmpagent/trace.h"

namespace {

// The library's shapes, as the agent calls them.
typedef LONG (*ConnectFn)(LPCSTR, LogonBlock*, ServerConnection*);
typedef LONG (*EnumFn)(ServerConnection*, LONG, LONG, LPVOID*, DWORD*);
typedef LONG (*HistoryFn)(ServerConnection*, LONG, LPCSTR, LPCSTR, LONG, LPVOID*, DWORD*);

template <typename Fn>
Fn bound(EbqryFunction function) {
    return reinterpret_cast<Fn>(lebFunction(function));
}

// Held around every connect and disconnect call, and only there: the
// library's connection set is not safe for concurrent changes, while its
// enumeration and history calls are.
orb::CriticalSection& connectionLock() {
    static auto* lock = new orb::CriticalSection;
    return *lock;
}

// The built-in internal logon: constants of the agent, not settings.
constexpr char kLogonUser[] = "_CoreSvc_";
constexpr char kLogonKey[] = "$%kXoPzEd%$";

constexpr int32_t kHistoryObjectType = 14;
constexpr size_t kHistoryStartTimeOffset = 64;
constexpr LONG kHistoryLevel = 7;
constexpr size_t kPathBufferSize = 1024;

bool enumOk(LONG rc) { return rc == 0 || rc == 100; }

LONG connectCall(ServerConnection* connection) {
    LogonBlock logon;
    buildLogonBlock(&logon);
    try {
        return bound<ConnectFn>(kVlvConnectServerEB)("", &logon, connection);
    } catch (...) {
        // An exception out of the library is a failed connect, never a
        // lock left held.
        return kLebNotInitialized;
    }
}

// Calls the callback for every record of one batch.
void deliverBatch(int32_t objectType, LebRecordCallback callback, LPVOID batch, DWORD count,
                  size_t recordSize) {
    const BYTE* record = static_cast<const BYTE*>(batch);
    for (DWORD i = 0; i < count; ++i) callback(objectType, record + i * recordSize);
}

// Steps 3-6 of an enumeration on an open connection: 0 or 101.
int enumerate(ServerConnection* connection, int32_t objectType, int32_t selector,
              LebRecordCallback callback) {
    LPVOID batch = nullptr;
    DWORD count = 0;
    agentTrace("lebCollectObject: BeginEnumObject\n");
    LONG rc = bound<EnumFn>(kVlvBeginEnumObject)(connection, objectType, selector, &batch, &count);
    if (!enumOk(rc)) return kLebNotInitialized;
    if (count > 0 && batch) {
        // The first record's type gives the size used to step through every batch.
        int32_t firstType = 0;
        memcpy(&firstType, batch, sizeof firstType);
        const size_t recordSize = lebRecordSize(firstType);
        for (;;) {
            if (recordSize != 0 && batch)
                deliverBatch(objectType, callback, batch, count, recordSize);
            if (rc == 100) break;
            rc = bound<EnumFn>(kVlvGetNextEnumObject)(connection, objectType, selector, &batch,
                                                      &count);
            if (!enumOk(rc)) return kLebNotInitialized;
        }
    }
    rc = bound<EnumFn>(kVlvEndEnumObject)(connection, objectType, selector, &batch, &count);
    return enumOk(rc) ? 0 : kLebNotInitialized;
}

// Splits at the last separator: the backup product's paths use "\\", paths
// typed on this system "/". Without one the whole path is the file name.
void splitPath(char* path, const char** directory, const char** fileName) {
    char* last = nullptr;
    for (char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') last = p;
    if (!last) {
        *directory = "";
        *fileName = path;
        return;
    }
    *last = '\0';
    *directory = path;
    *fileName = last + 1;
}

// The greatest start time among the records (first of equal ones; 0 never).
DWORD newestStartTime(const BYTE* records, DWORD count) {
    const size_t size = lebRecordSize(kHistoryObjectType);
    DWORD newest = 0;
    for (DWORD i = 0; i < count; ++i) {
        DWORD startTime = 0;
        memcpy(&startTime, records + i * size + kHistoryStartTimeOffset, sizeof startTime);
        agentTrace("lebCheckBackupDate: r=%d, st=%d, StartTime=%d\n", static_cast<int>(i),
                   static_cast<int>(startTime), static_cast<int>(startTime));
        if (startTime > newest) newest = startTime;
    }
    return newest;
}

DWORD findNewestBackup(ServerConnection* connection, const char* path) {
    char buffer[kPathBufferSize];
    strncpy(buffer, path, sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    const char* directory = nullptr;
    const char* fileName = nullptr;
    splitPath(buffer, &directory, &fileName);
    agentTrace("lebCheckBackupDate: checking path=\"%s\", file=\"%s\"\n", directory, fileName);
    LPVOID records = nullptr;
    DWORD count = 0;
    const LONG rc = bound<HistoryFn>(kVlvGetBackupHistoryByFilename)(
        connection, kHistoryLevel, directory, fileName, 0, &records, &count);
    if (rc != 0) return 0;
    agentTrace("lebCheckBackupDate: VlvGetBackupHistoryByFilename return ucnt=%d, rc=0\n",
               static_cast<int>(count));
    return records ? newestStartTime(static_cast<const BYTE*>(records), count) : 0;
}

int rateNewestBackup(DWORD startTime, int64_t warnSeconds, int64_t critSeconds) {
    if (startTime == 0) {
        agentTrace("lebCheckBackupDate: No backup record found for file\n");
        return kBackupCritical;
    }
    agentTrace("lebCheckBackupDate: Checking backup date for record startime=0x%x\n", startTime);
    const int64_t t = dosDateTimeToEpoch(startTime);
    const int64_t now = orb::CurrentClock().WallTime();
    const int64_t warnTime = t + warnSeconds;
    const int64_t critTime = t + critSeconds;
    agentTrace("lebCheckBackupDate: realtime=%d, warntime=%d, crittime=%d\n", static_cast<int>(now),
               static_cast<int>(warnTime), static_cast<int>(critTime));
    const int status = rateBackupAge(now, t, warnSeconds, critSeconds);
    if (status == kBackupCritical)
        agentTrace("lebCheckBackupDate: Backup Date is in CRITICAL status [%d,%d]\n",
                   static_cast<int>(now), static_cast<int>(critTime));
    else if (status == kBackupWarning)
        agentTrace("lebCheckBackupDate: Backup Date is in WARNING status [%d,%d]\n",
                   static_cast<int>(now), static_cast<int>(warnTime));
    return status;
}

}  // namespace

void buildLogonBlock(LogonBlock* logon) {
    memset(logon, 0, sizeof *logon);
    memcpy(logon->bytes + kLogonUserOffset, kLogonUser, sizeof kLogonUser);
    memcpy(logon->bytes + kLogonKeyOffset, kLogonKey, sizeof kLogonKey);
}

size_t lebRecordSize(int32_t objectType) {
    static const size_t kSizes[15] = {0,   200, 328, 728, 72, 168, 632, 216,
                                      104, 504, 352, 32,  72, 32,  152};
    return objectType >= 1 && objectType <= 14 ? kSizes[objectType] : 0;
}

void connectServer(ServerConnection** connection, int* code) {
    *code = 0;
    *connection = nullptr;
    agentTrace("connectServer: EnterCriticalSection\n");
    std::lock_guard<orb::CriticalSection> hold(connectionLock());
    agentTrace("connectServer: Entered\n");
    if (!lebIsInitialized()) {
        agentTrace("connectServer: Not Initialized\n");
        *code = kLebNotInitialized;
    } else if (auto* fresh = new (std::nothrow) ServerConnection{}) {
        *code = connectCall(fresh);
        // A refused connection is freed here: nobody else will.
        if (*code != 0)
            delete fresh;
        else
            *connection = fresh;
    } else {
        *code = kLebNotInitialized;
    }
    agentTrace("connectServer: LeaveCriticalSection\n");
    agentTrace("connectServer: Leaving\n");
}

void disconnectServer(ServerConnection* connection, int* code) {
    agentTrace("disconnectServer: EnterCriticalSection\n");
    {
        std::lock_guard<orb::CriticalSection> hold(connectionLock());
        *code = 0;
        if (connection) {
            LogonBlock zero{};
            try {
                bound<ConnectFn>(kVlvDisconnectServerEB)(
                    reinterpret_cast<LPCSTR>(connection->bytes + 4), &zero, connection);
            } catch (...) {
            }
            delete connection;
        }
        agentTrace("disconnectServer: LeaveCriticalSection\n");
    }
}

void lebCollectObject(int32_t objectType, int32_t selector, LebRecordCallback callback, int* code) {
    *code = 0;
    agentTrace("lebCollectObject: Entered\n");
    agentTrace("lebCollectObject: connecting to server\n");
    ServerConnection* connection = nullptr;
    int rc = 0;
    connectServer(&connection, &rc);
    if (rc != 0) {
        agentTrace("lebCollectObject: connect to server failed, RC=%d\n", rc);
        *code = rc;
        return;
    }
    try {
        *code = enumerate(connection, objectType, selector, callback);
    } catch (...) {
        *code = kLebNotInitialized;
    }
    // Closed whether or not the enumeration completed, so a failed one
    // leaves no connection behind on the server.
    if (*code == 0) agentTrace("lebCollectObject: disconnecting from server\n");
    disconnectServer(connection, &rc);
}

void lebCheckBackupDate(const char* path, int64_t warnSeconds, int64_t critSeconds, int* status) {
    *status = 0;
    agentTrace("lebCheckBackupDate: connecting to server\n");
    ServerConnection* connection = nullptr;
    int rc = 0;
    connectServer(&connection, &rc);
    if (rc != 0) {
        agentTrace("lebCheckBackupDate: connect to server failed, RC=%d\n", rc);
        *status = rc;
        return;
    }
    DWORD newest = 0;
    try {
        newest = findNewestBackup(connection, path);
    } catch (...) {
        newest = 0;
    }
    *status = rateNewestBackup(newest, warnSeconds, critSeconds);
    agentTrace("lebCollectBackupHistory: disconnecting from server\n");
    disconnectServer(connection, &rc);
}

int rateBackupAge(int64_t now, int64_t backupTime, int64_t warnSeconds, int64_t critSeconds) {
    if (now >= backupTime + critSeconds) return kBackupCritical;
    if (now < backupTime + warnSeconds) return kBackupOk;
    return kBackupWarning;
}

int64_t dosDateTimeToEpoch(DWORD dosDateTime) {
    struct tm fields {};
    fields.tm_sec = 2 * (dosDateTime & 0x1F);
    fields.tm_min = (dosDateTime >> 5) & 0x3F;
    fields.tm_hour = (dosDateTime >> 11) & 0x1F;
    fields.tm_mday = (dosDateTime >> 16) & 0x1F;
    fields.tm_mon = static_cast<int>((dosDateTime >> 21) & 0x0F) - 1;
    fields.tm_year = 80 + static_cast<int>(dosDateTime >> 25);
    fields.tm_isdst = 0;
    return static_cast<int64_t>(mktime(&fields));
}
