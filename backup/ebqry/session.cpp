// Sessions and their batched enumerations.
#include "backup/ebqry/session.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace ebqry {
namespace {

struct SessionTable {
    std::mutex mutex;
    uint32_t lastId = 0;
    std::map<uint32_t, std::shared_ptr<Session>> sessions;
};

// The library's one piece of global state: what a DLL keeps per process.
// Never destroyed: a caller's thread may be inside a call while the process
// runs its exit handlers.
SessionTable& Table() {
    static SessionTable* table = new SessionTable;
    return *table;
}

void CopyText(char* to, size_t size, const std::string& text) {
    size_t length = std::min(text.size(), size - 1);
    std::memcpy(to, text.data(), length);
    to[length] = '\0';
}

}  // namespace

LONG Session::Begin(Enumeration& e, int32_t type, std::vector<uint8_t> records, LPVOID* batch,
                    DWORD* count) {
    e.active = true;
    e.type = type;
    e.records = std::move(records);
    e.next = 0;
    return Next(e, type, batch, count);
}

LONG Session::Next(Enumeration& e, int32_t type, LPVOID* batch, DWORD* count) {
    if (!e.active || e.type != type) return VLV_E_NO_ENUMERATION;
    const size_t size = VlvRecordSize(type);
    const size_t total = e.records.size() / size;
    const size_t first = std::min(e.next, total);
    const size_t n = std::min(state.batchSize, total - first);
    *batch = n == 0 ? nullptr : e.records.data() + first * size;
    *count = static_cast<DWORD>(n);
    e.next = first + n;
    return e.next >= total ? VLV_NO_MORE : VLV_OK;
}

LONG Session::End(Enumeration& e, int32_t type) {
    if (!e.active || e.type != type) return VLV_E_NO_ENUMERATION;
    e = Enumeration{};
    return VLV_OK;
}

LPVOID Session::HandOut(Slot slot, std::vector<uint8_t> records) {
    handedOut[slot] = std::move(records);
    return handedOut[slot].empty() ? nullptr : handedOut[slot].data();
}

LONG OpenSession(VlvServerConnection* connection, ServerState state) {
    auto session = std::make_shared<Session>();
    session->state = std::move(state);
    SessionTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    uint32_t id = ++table.lastId;
    if (id == 0) id = ++table.lastId;  // 0 marks a record that never connected
    table.sessions[id] = session;
    connection->magic = VLV_CONNECTION_MAGIC;
    CopyText(connection->serverName, sizeof connection->serverName, session->state.name);
    connection->connected = 1;
    connection->sessionId = id;
    CopyText(connection->databaseName, sizeof connection->databaseName, session->state.database);
    return VLV_OK;
}

std::shared_ptr<Session> FindSession(const VlvServerConnection* connection) {
    if (connection == nullptr || connection->magic != VLV_CONNECTION_MAGIC ||
        connection->connected != 1)
        return nullptr;
    SessionTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto found = table.sessions.find(connection->sessionId);
    return found == table.sessions.end() ? nullptr : found->second;
}

LONG CloseSession(VlvServerConnection* connection) {
    if (FindSession(connection) == nullptr) return VLV_E_NOT_CONNECTED;
    SessionTable& table = Table();
    {
        std::lock_guard<std::mutex> lock(table.mutex);
        table.sessions.erase(connection->sessionId);
    }
    connection->magic = 0;
    connection->connected = 0;
    connection->sessionId = 0;
    return VLV_OK;
}

LONG ReleaseHandedOut(LPVOID objects) {
    if (objects == nullptr) return VLV_E_INVALID_PARAMETER;
    std::vector<std::shared_ptr<Session>> sessions;
    {
        SessionTable& table = Table();
        std::lock_guard<std::mutex> lock(table.mutex);
        for (auto& entry : table.sessions) sessions.push_back(entry.second);
    }
    for (auto& session : sessions) {
        std::lock_guard<std::mutex> lock(session->mutex);
        for (std::vector<uint8_t>& kept : session->handedOut) {
            if (!kept.empty() && kept.data() == objects) {
                kept = std::vector<uint8_t>();
                return VLV_OK;
            }
        }
    }
    return VLV_E_INVALID_PARAMETER;
}

}  // namespace ebqry
