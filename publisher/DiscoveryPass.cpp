// Discovery records: selection, change detection and the loop over the table.
#include "publisher/DiscoveryPass.h"

#include <atomic>
#include <cstring>

#include "backup/kstool/kstool.h"
#include "framework/nwomapi/orbom_codes.h"
#include "kestorb/KestCodes.h"
#include "platform/registry.h"
#include "publisher/ObjectPublish.h"
#include "publisher/PublisherLog.h"
#include "publisher/RepositoryFailure.h"

namespace publisher {
namespace {

constexpr int32_t kNotRead = -2;
constexpr int32_t kReleaseCurrentLine = 9;  // first release of the current product line

// Each routine keeps its own copy, as each was written to: read once a value exists.
std::atomic<int32_t> g_supportCurrent{kNotRead};
std::atomic<int32_t> g_supportOlder{kNotRead};

int32_t SupportCopy(std::atomic<int32_t>& copy) {
    if (copy.load() == kNotRead) {
        char root[256] = {};
        KsToolGetIntegrationRootKey(root, sizeof root);
        DWORD value = 0;
        if (orb::RegGetDword(std::string(root) + "\\OrbIntegration", "Support", &value) ==
            ERROR_SUCCESS) {
            copy.store(static_cast<int32_t>(value));
        }
    }
    return copy.load();
}

bool WindowsFamily(uint32_t owner) {
    return owner == 24 || owner == 25 || owner == 32 || owner == 68 || owner == 133;
}
constexpr uint32_t kUnixOwner = 85;

// Release of the record's server, or -1 when the library has none for it.
int ProductRelease(uint32_t table, const uint32_t* index, const DiscoveryRecord& record) {
    ProductInfo info{};
    if (VlbGetProductInfo(table, index, record.ownerId, &record, &info) != 0) return -1;
    return info.release;
}

// "+", "U" or "N" for a qualifying record, updating the cache.
char ChangeAction(CRecordCache& cache, const DiscoveryRecord& record) {
    switch (cache.Check(record.serverName, &record, sizeof record, nullptr)) {
        case CRecordCache::kUnknown: cache.Add(&record, sizeof record); return '+';
        case CRecordCache::kChanged:
            cache.Update(record.serverName, &record, sizeof record);
            return 'U';
        default: return 'N';
    }
}

// Shared tail of both routines: log the decision and publish "+" and "U".
int Publish(CPublisherWorker& worker, const DiscoveryRecord& record, bool qualifies,
            int32_t support, int type, const char* routine) {
    char action = qualifies ? ChangeAction(worker.cache, record) : 'N';
    WriteLogF("%.16s\tBroadcastOwnerId<%d>\tACTION<%c>\t<Support %d>", record.serverName,
              static_cast<int>(record.ownerId), action, support);
    if (action == 'N') return 0;
    DWORD began = GetTickCount();
    int32_t rc = ORB_GetVLObject(worker, record, type);
    worker.lastResult = rc;
    worker.recordResult = rc;
    unsigned long elapsed = GetTickCount() - began;
    WriteLogF("%s -- %5lu\t%s", routine, elapsed, rc == 0 ? "OK" : KestCodeName(rc));
    if (rc == 0) return 1;
    if (IsRepositoryFailure(rc)) WriteLogF("%s -- %s<%d>", routine, RepositoryFailureText(rc), rc);
    // Whatever the failure left (an old object deleted, a new one without
    // its properties or its view), the server is not published: a later
    // record of it in this table must publish it again, not find it unchanged.
    worker.cache.Remove(record.serverName);
    return 0;
}

}  // namespace

void ForgetSupportSetting() {
    g_supportCurrent.store(kNotRead);
    g_supportOlder.store(kNotRead);
}

int ProcessRecord(CPublisherWorker& worker, uint32_t table, const uint32_t* index,
                  const DiscoveryRecord& record) {
    int32_t support = SupportCopy(g_supportCurrent);
    bool qualifies = false;
    if (WindowsFamily(record.ownerId)) {
        qualifies = (support == -1 || support == 0) &&
                    ProductRelease(table, index, record) >= kReleaseCurrentLine;
    } else if (record.ownerId == kUnixOwner) {
        qualifies = support == -1 || support == 1;
    }
    return Publish(worker, record, qualifies, support, 1, "ProcessRecord");
}

int ProcessVaultlineRecord(CPublisherWorker& worker, uint32_t table, const uint32_t* index,
                           const DiscoveryRecord& record) {
    int32_t support = SupportCopy(g_supportOlder);
    bool qualifies = false;
    if (WindowsFamily(record.ownerId) && record.ownerId != 133 &&
        (support == -1 || support == 0)) {
        int release = ProductRelease(table, index, record);
        qualifies = release >= 0 && release < kReleaseCurrentLine;
    }
    return Publish(worker, record, qualifies, support, 0, "ProcessVaultlineRecord");
}

namespace {

// Counts a record that failed for the repository's sake; false when the pass
// cannot go on: the repository's file is damaged (every later record would
// meet the same damage), or its connection was lost and cannot be made again.
bool RecordLeavesRepositoryUsable(CPublisherWorker& worker, PublishRun& run) {
    const int32_t rc = worker.recordResult;
    if (!IsRepositoryFailure(rc)) return true;
    ++run.failed;
    if (rc == ORBOM_RC_REPOSITORY_DAMAGED) return false;
    if (rc != ORBOM_RC_REPOSITORY_CONNECTION_LOST || RepositoryReachable(run.repositoryName)) {
        return true;
    }
    WriteLogF(" The repository %s cannot be reached again: the pass stops",
              run.repositoryName.c_str());
    return false;
}

}  // namespace

int ReadDiscoveryTable(CPublisherWorker& worker, PublishRun& run) {
    if (run.stop.Wait(0)) return 0;
    uint32_t table = 0;
    uint32_t count = 0;
    if (VlbOpenTable(&table, &count) != 0) {
        WriteLog(" There is no object in the Discovery Table");
        return 1;
    }
    int result = 1;
    run.failed = 0;
    for (uint32_t index = 0;; ++index) {
        if (run.stop.Wait(0)) {
            result = 0;
            break;
        }
        DiscoveryRecord record{};
        int32_t rc = VlbReadRecord(table, index, &record);
        if (rc != 0 || record.serverName[0] == '\0') {
            WriteLogF("Failed to get registry value for the key %.16s. (EC=%d)",
                      record.serverName, rc);
        } else {
            worker.recordResult = 0;
            int published = ProcessRecord(worker, table, &index, record);
            if (published == 0 && worker.olderProduct) {
                published = ProcessVaultlineRecord(worker, table, &index, record);
            }
            run.processed++;
            run.created += static_cast<uint32_t>(published);
            const bool goOn = published != 0 || RecordLeavesRepositoryUsable(worker, run);
            char name[sizeof record.serverName + 1] = {};
            std::memcpy(name, record.serverName, sizeof record.serverName);
            PostStatus(run, UiTextWith(run.ui, 3, name));
            if (!goOn) {
                result = 0;
                break;
            }
        }
        if (rc == VLB_NO_MORE_RECORDS) break;
        // A library that keeps failing past its snapshot would never say 259.
        if (rc != 0 && index >= count) break;
    }
    VlbCloseTable(table);
    WriteLogF(" Total number of objects in the Discovery Table is %d",
              static_cast<int>(run.processed));
    WriteLogF(" Total number of Objects Created is %d", static_cast<int>(run.created));
    // Records the repository failed were not published: the pass did not do
    // its work, however many others it published.
    if (run.failed > 0) {
        WriteLogF(" Total number of records the repository failed is %d",
                  static_cast<int>(run.failed));
        result = 0;
    }
    return result;
}

}  // namespace publisher
