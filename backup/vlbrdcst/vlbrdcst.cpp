// The discovery library's exports: thin calls over table snapshots.
#include "backup/vlbrdcst/vlbrdcst.h"

#include <cstring>

#include "backup/discotable/records.h"
#include "backup/discotable/snapshots.h"

#define VLB_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

disco::Snapshots& OpenTables() {
    static disco::Snapshots tables;
    return tables;
}

int32_t OpenTable(uint32_t* table, uint32_t* count) {
    disco::Table snapshot;
    uint32_t error = 0;
    if (!disco::LoadTableReporting(disco::TablePath(), &snapshot, &error)) {
        return error == VLB_FILE_NOT_FOUND ? VLB_FILE_NOT_FOUND : VLB_CANT_READ;
    }
    uint32_t records = static_cast<uint32_t>(snapshot.servers.size());
    *table = OpenTables().Add(std::move(snapshot));
    if (count != nullptr) *count = records;
    return VLB_OK;
}

// The snapshot's server at index, through the checks every read shares.
int32_t ServerAt(uint32_t table, uint32_t index, const disco::Server** server,
                 std::shared_ptr<const disco::Table>* keep) {
    *keep = OpenTables().Find(table);
    if (*keep == nullptr) return VLB_INVALID_HANDLE;
    if (index >= (*keep)->servers.size()) return VLB_NO_MORE_RECORDS;
    *server = &(*keep)->servers[index];
    return VLB_OK;
}

}  // namespace

VLB_EXPORT int32_t VlbOpenTable(uint32_t* table, uint32_t* count) {
    if (table == nullptr) return VLB_INVALID_PARAMETER;
    *table = 0;
    try {
        return OpenTable(table, count);
    } catch (...) {
        return VLB_CANT_READ;
    }
}

VLB_EXPORT int32_t VlbReadRecord(uint32_t table, uint32_t index, DiscoveryRecord* record) {
    if (record == nullptr) return VLB_INVALID_PARAMETER;
    std::shared_ptr<const disco::Table> keep;
    const disco::Server* server = nullptr;
    int32_t code = ServerAt(table, index, &server, &keep);
    if (code == VLB_OK) disco::FillRecord(*server, record);
    return code;
}

VLB_EXPORT int32_t VlbGetProductInfo(uint32_t table, const uint32_t* index, uint32_t ownerId,
                                     const DiscoveryRecord* record, ProductInfo* info) {
    if (index == nullptr || record == nullptr || info == nullptr) return VLB_INVALID_PARAMETER;
    std::shared_ptr<const disco::Table> keep;
    const disco::Server* server = nullptr;
    int32_t code = ServerAt(table, *index, &server, &keep);
    if (code != VLB_OK) return code;
    std::string name = disco::FieldText(record->serverName, sizeof(record->serverName));
    if (server->owner != ownerId || server->name != name) return VLB_INVALID_PARAMETER;
    disco::FillProductInfo(*server, info);
    return VLB_OK;
}

VLB_EXPORT int32_t VlbCloseTable(uint32_t table) {
    return OpenTables().Remove(table) ? VLB_OK : VLB_INVALID_HANDLE;
}
