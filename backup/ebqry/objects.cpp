// Object enumerations, single objects and the backup history of files.
#include <strings.h>

#include <cstring>

#include "backup/ebqry/ebqry.h"
#include "backup/ebqry/guard.h"
#include "backup/ebqry/session.h"

namespace ebqry {
namespace {

enum class Step { Begin, Next, End };

// The jobId of a history record (its parent in the next-level enumeration).
int32_t HistoryJobId(const uint8_t* record) {
    int32_t id;
    std::memcpy(&id, record + offsetof(VlvHistoryRecord, jobId), sizeof id);
    return id;
}

int32_t ObjectId(const uint8_t* record) {
    int32_t id;
    std::memcpy(&id, record + 16, sizeof id);
    return id;
}

std::vector<uint8_t> AllOfType(const ServerState& state, int32_t type, LONG /*selector*/) {
    return state.records[type];
}

std::vector<uint8_t> ChildrenOf(const ServerState& state, int32_t type, LONG parentId) {
    std::vector<uint8_t> children;
    if (type != VLV_OBJ_HISTORY) return children;
    const size_t size = VlvRecordSize(type);
    for (size_t i = 0; i < state.Count(type); ++i) {
        const uint8_t* record = state.Record(type, i);
        if (HistoryJobId(record) == parentId) children.insert(children.end(), record, record + size);
    }
    return children;
}

typedef std::vector<uint8_t> (*Selection)(const ServerState&, int32_t, LONG);

LONG Enumerate(Step step, Enumeration Session::*which, Selection select,
               VlvServerConnection* connection, LONG type, LONG selector, LPVOID* batch,
               DWORD* count) {
    if (step != Step::End && (batch == nullptr || count == nullptr)) return VLV_E_INVALID_PARAMETER;
    if (VlvRecordSize(type) == 0) return VLV_E_BAD_OBJECT_TYPE;
    std::shared_ptr<Session> session = FindSession(connection);
    if (session == nullptr) return VLV_E_NOT_CONNECTED;
    std::lock_guard<std::mutex> lock(session->mutex);
    Enumeration& e = (*session).*which;
    if (step == Step::Begin)
        return session->Begin(e, type, select(session->state, type, selector), batch, count);
    if (step == Step::Next) return session->Next(e, type, batch, count);
    if (batch != nullptr) *batch = nullptr;
    if (count != nullptr) *count = 0;
    return session->End(e, type);
}

// Directories compare without letter case, either separator, and without trailing separators.
bool SameDirectory(const std::string& a, const char* b) {
    auto trimmed = [](std::string s) {
        for (char& c : s)
            if (c == '/') c = '\\';
        while (!s.empty() && s.back() == '\\') s.pop_back();
        return s;
    };
    return strcasecmp(trimmed(a).c_str(), trimmed(b).c_str()) == 0;
}

}  // namespace
}  // namespace ebqry

using namespace ebqry;

#define VLV_ENUM_EXPORT(Name, step, member, select)                                          \
    extern "C" LONG Name(VlvServerConnection* connection, LONG type, LONG selector,         \
                         LPVOID* batch, DWORD* count) {                                      \
        return Guarded([&] {                                                                 \
            return Enumerate(step, &Session::member, select, connection, type, selector, batch, \
                             count);                                                         \
        });                                                                                  \
    }

VLV_ENUM_EXPORT(VlvBeginEnumObject, Step::Begin, objects, AllOfType)
VLV_ENUM_EXPORT(VlvGetNextEnumObject, Step::Next, objects, AllOfType)
VLV_ENUM_EXPORT(VlvEndEnumObject, Step::End, objects, AllOfType)
VLV_ENUM_EXPORT(VlvBeginEnumNextLevelObject, Step::Begin, nextLevel, ChildrenOf)
VLV_ENUM_EXPORT(VlvGetNextEnumNextLevelObject, Step::Next, nextLevel, ChildrenOf)
VLV_ENUM_EXPORT(VlvEndEnumNextLevelObject, Step::End, nextLevel, ChildrenOf)

#undef VLV_ENUM_EXPORT

extern "C" LONG VlvGetObjectByID(VlvServerConnection* connection, LONG type, LONG id,
                                 LPVOID* record) {
    return Guarded([&]() -> LONG {
        if (record == nullptr) return VLV_E_INVALID_PARAMETER;
        *record = nullptr;
        if (VlvRecordSize(type) == 0) return VLV_E_BAD_OBJECT_TYPE;
        std::shared_ptr<Session> session = FindSession(connection);
        if (session == nullptr) return VLV_E_NOT_CONNECTED;
        std::lock_guard<std::mutex> lock(session->mutex);
        const ServerState& state = session->state;
        for (size_t i = 0; i < state.Count(type); ++i) {
            const uint8_t* found = state.Record(type, i);
            if (ObjectId(found) != id) continue;
            *record = session->HandOut(Session::kById,
                                       std::vector<uint8_t>(found, found + VlvRecordSize(type)));
            return VLV_OK;
        }
        return VLV_E_NOT_FOUND;
    });
}

extern "C" LONG VlvFreeObjects(LPVOID objects) {
    return Guarded([&] { return ReleaseHandedOut(objects); });
}

extern "C" LONG VlvGetBackupHistoryByFilename(VlvServerConnection* connection, LONG /*level*/,
                                              LPCSTR directory, LPCSTR fileName, LONG /*flags*/,
                                              LPVOID* records, DWORD* count) {
    return Guarded([&]() -> LONG {
        if (directory == nullptr || fileName == nullptr || records == nullptr || count == nullptr)
            return VLV_E_INVALID_PARAMETER;
        *records = nullptr;
        *count = 0;
        std::shared_ptr<Session> session = FindSession(connection);
        if (session == nullptr) return VLV_E_NOT_CONNECTED;
        std::lock_guard<std::mutex> lock(session->mutex);
        const ServerState& state = session->state;
        // A caller that could not split a "/" path hands it over whole as the file name.
        std::string dir = directory, file = fileName;
        if (file.find_first_of("\\/") != std::string::npos)
            SplitPath(dir.empty() ? file : dir + "\\" + file, &dir, &file);
        std::vector<uint8_t> found;
        for (size_t i = 0; i < state.Count(VLV_OBJ_HISTORY); ++i) {
            if (strcasecmp(state.historyFiles[i].c_str(), file.c_str()) != 0 ||
                !SameDirectory(state.historyDirectories[i], dir.c_str()))
                continue;
            const uint8_t* record = state.Record(VLV_OBJ_HISTORY, i);
            found.insert(found.end(), record, record + sizeof(VlvHistoryRecord));
        }
        *count = static_cast<DWORD>(found.size() / sizeof(VlvHistoryRecord));
        *records = session->HandOut(Session::kHistory, std::move(found));
        return VLV_OK;
    });
}
