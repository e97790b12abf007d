// Connecting to the local backup server: only the built-in service logon, only
// while the database engine runs, and only to this machine's server.
#include <strings.h>

#include <cstring>

#include "backup/ebqry/ebqry.h"
#include "backup/ebqry/guard.h"
#include "backup/ebqry/session.h"
#include "platform/machine.h"
#include "platform/scm.h"

namespace ebqry {
namespace {

constexpr const char* kDatabaseEngine = "NWSDBEngine";

// The field holds exactly `expected`, terminated within the field.
bool FieldIs(const char* field, size_t size, const char* expected) {
    size_t length = strnlen(field, size);
    return length < size && length == std::strlen(expected) && std::memcmp(field, expected, length) == 0;
}

bool DatabaseEngineRunning() {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return false;
    SC_HANDLE service = OpenServiceA(manager, kDatabaseEngine, SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    bool running = service != nullptr && QueryServiceStatus(service, &status) &&
                   status.dwCurrentState == SERVICE_RUNNING;
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return running;
}

// Empty names the local server; "\\\\NAME" and "NAME" name a server by name.
bool IsThisServer(LPCSTR server, const ServerState& state) {
    if (server == nullptr || server[0] == '\0') return true;
    while (*server == '\\') ++server;
    return strcasecmp(server, state.name.c_str()) == 0 ||
           strcasecmp(server, orb::ComputerName().c_str()) == 0;
}

LONG Connect(LPCSTR server, bool logonAccepted, VlvServerConnection* connection) {
    if (connection == nullptr) return VLV_E_INVALID_PARAMETER;
    if (connection->connected != 0) return VLV_E_ALREADY_CONNECTED;
    if (!logonAccepted) return VLV_E_LOGON_DENIED;
    if (!DatabaseEngineRunning()) return VLV_E_DB_NOT_RUNNING;
    ServerState state;
    LONG rc = LoadServerState(&state);
    if (rc != VLV_OK) return rc;
    if (state.name.empty()) state.name = orb::ComputerName();
    if (!IsThisServer(server, state)) return VLV_E_UNKNOWN_SERVER;
    return OpenSession(connection, std::move(state));
}

}  // namespace
}  // namespace ebqry

using namespace ebqry;

extern "C" LONG VlvConnectServerEB(LPCSTR server, VlvLogonBlock* logon,
                                   VlvServerConnection* connection) {
    return Guarded([&] {
        if (logon == nullptr) return static_cast<LONG>(VLV_E_INVALID_PARAMETER);
        bool accepted = FieldIs(logon->serviceUser, sizeof logon->serviceUser, VLV_SERVICE_USER) &&
                        FieldIs(logon->serviceKey, sizeof logon->serviceKey, VLV_SERVICE_KEY);
        return Connect(server, accepted, connection);
    });
}

extern "C" LONG VlvConnectServer(LPCSTR server, LPCSTR user, LPCSTR password,
                                 VlvServerConnection* connection) {
    return Guarded([&] {
        if (user == nullptr || password == nullptr) return static_cast<LONG>(VLV_E_INVALID_PARAMETER);
        bool accepted = std::strcmp(user, VLV_SERVICE_USER) == 0 &&
                        std::strcmp(password, VLV_SERVICE_KEY) == 0;
        return Connect(server, accepted, connection);
    });
}

// The server text and the logon block of the disconnect are not needed: the
// connection record names its session.
extern "C" LONG VlvDisconnectServerEB(LPCSTR /*server*/, VlvLogonBlock* /*logon*/,
                                      VlvServerConnection* connection) {
    return Guarded([&] { return CloseSession(connection); });
}

extern "C" LONG VlvDisconnectServer(VlvServerConnection* connection) {
    return Guarded([&] { return CloseSession(connection); });
}
