// The discovery service's entry points, over table snapshots.
#include "backup/dsload/dsload.h"

#include <cstring>

#include "backup/discotable/records.h"
#include "backup/discotable/snapshots.h"

#define DS_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Service {
    std::mutex mutex;
    int loads = 0;
    disco::Snapshots enumerations;
};

Service& State() {
    static Service service;
    return service;
}

bool Started() {
    std::lock_guard<std::mutex> lock(State().mutex);
    return State().loads > 0;
}

int32_t InitEnum(uint32_t* enumeration, uint32_t* servers) {
    disco::Table snapshot;
    uint32_t error = 0;
    if (!disco::LoadTableReporting(disco::TablePath(), &snapshot, &error)) {
        return error == DS_FILE_NOT_FOUND ? DS_FILE_NOT_FOUND : DS_CANT_READ;
    }
    uint32_t count = static_cast<uint32_t>(snapshot.servers.size());
    *enumeration = State().enumerations.Add(std::move(snapshot));
    if (servers != nullptr) *servers = count;
    return DS_OK;
}

int32_t FindByProduct(uint32_t enumeration, uint32_t* index, uint32_t productId,
                      const std::string& name, ProductInfo* info) {
    auto table = State().enumerations.Find(enumeration);
    if (table == nullptr) return DS_INVALID_HANDLE;
    for (size_t i = 0; i < table->servers.size(); ++i) {
        const disco::Server& server = table->servers[i];
        if (disco::SameName(server.name, name) && disco::RunsProduct(server, productId)) {
            *index = static_cast<uint32_t>(i);
            disco::FillProductInfo(server, info);
            return DS_OK;
        }
    }
    return DS_NOT_FOUND;
}

}  // namespace

DS_EXPORT int32_t KestDSLoad(int32_t reserved) {
    if (reserved != 0) return DS_INVALID_PARAMETER;
    std::lock_guard<std::mutex> lock(State().mutex);
    ++State().loads;
    return DS_OK;
}

DS_EXPORT int32_t KestDSUnLoad(void) {
    std::lock_guard<std::mutex> lock(State().mutex);
    if (State().loads == 0) return DS_NOT_READY;
    if (--State().loads == 0) State().enumerations.Clear();
    return DS_OK;
}

DS_EXPORT int32_t DSInitEnumServer(uint32_t* enumeration, uint32_t* servers) {
    if (enumeration == nullptr) return DS_INVALID_PARAMETER;
    *enumeration = 0;
    if (!Started()) return DS_NOT_READY;
    try {
        return InitEnum(enumeration, servers);
    } catch (...) {
        return DS_CANT_READ;
    }
}

DS_EXPORT int32_t DSTblEnumServerByProductId(uint32_t enumeration, uint32_t* index,
                                             int32_t productId, char* name, void* result) {
    if (index == nullptr || name == nullptr || result == nullptr) return DS_INVALID_PARAMETER;
    *index = 0;
    ProductInfo info;
    std::memset(&info, 0, sizeof(info));
    int32_t code = DS_INVALID_PARAMETER;
    try {
        code = FindByProduct(enumeration, index, static_cast<uint32_t>(productId),
                             disco::FieldText(name, DS_NAME_SIZE), &info);
    } catch (...) {
        code = DS_CANT_READ;
    }
    static_assert(sizeof(info) == DS_RESULT_SIZE);
    std::memcpy(result, &info, sizeof(info));
    return code;
}

DS_EXPORT int32_t DSDeInitEnumServer(uint32_t enumeration) {
    return State().enumerations.Remove(enumeration) ? DS_OK : DS_INVALID_HANDLE;
}
