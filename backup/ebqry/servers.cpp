// Server enumerations. This library knows one server: the local one, when the
// product is installed here. Listing servers needs no logon.
#include <strings.h>

#include <cstring>
#include <new>
#include <vector>

#include "backup/ebqry/ebqry.h"
#include "backup/ebqry/guard.h"
#include "backup/ebqry/state.h"
#include "platform/machine.h"

namespace ebqry {
namespace {

struct ServerEnumeration {
    static constexpr uint32_t kMagic = 0x4E455356;  // "VSEN"
    uint32_t magic = kMagic;
    std::vector<VlvServerInfo> servers;
    size_t next = 0;
};

void CopyText(char* to, size_t size, const std::string& text) {
    size_t length = std::min(text.size(), size - 1);
    std::memcpy(to, text.data(), length);
    to[length] = '\0';
}

// The local server, when installed; a malformed state file still lists it
// (by the computer's name), since listing reads nothing but the names.
std::vector<VlvServerInfo> KnownServers(LPCSTR domain) {
    if (StateFilePath().empty()) return {};
    ServerState state;
    LoadServerState(&state);
    VlvServerInfo info{};
    CopyText(info.serverName, sizeof info.serverName,
             state.name.empty() ? orb::ComputerName() : state.name);
    CopyText(info.domainName, sizeof info.domainName, state.domain);
    CopyText(info.productVersion, sizeof info.productVersion, state.version);
    info.status = 1;
    if (domain != nullptr && domain[0] != '\0' && strcasecmp(domain, info.domainName) != 0) return {};
    return {info};
}

LONG Begin(LPCSTR domain, LPVOID* handle) {
    if (handle == nullptr) return VLV_E_INVALID_PARAMETER;
    auto* e = new ServerEnumeration;
    e->servers = KnownServers(domain);
    *handle = e;
    return VLV_OK;
}

ServerEnumeration* Open(LPVOID handle) {
    auto* e = static_cast<ServerEnumeration*>(handle);
    return e != nullptr && e->magic == ServerEnumeration::kMagic ? e : nullptr;
}

LONG Next(LPVOID handle, VlvServerInfo* info) {
    ServerEnumeration* e = Open(handle);
    if (e == nullptr || info == nullptr) return VLV_E_INVALID_PARAMETER;
    if (e->next >= e->servers.size()) return VLV_NO_MORE;
    *info = e->servers[e->next++];
    return VLV_OK;
}

LONG End(LPVOID handle) {
    ServerEnumeration* e = Open(handle);
    if (e == nullptr) return VLV_E_INVALID_PARAMETER;
    e->magic = 0;
    delete e;
    return VLV_OK;
}

}  // namespace
}  // namespace ebqry

using namespace ebqry;

extern "C" LONG VlvBeginEnumServers(LPVOID* enumHandle) {
    return Guarded([&] { return Begin(nullptr, enumHandle); });
}

extern "C" LONG VlvGetNextEnumServer(LPVOID enumHandle, LPSTR serverName, DWORD size) {
    return Guarded([&]() -> LONG {
        if (serverName == nullptr || size == 0) return VLV_E_INVALID_PARAMETER;
        VlvServerInfo info{};
        LONG rc = Next(enumHandle, &info);
        if (rc == VLV_OK) CopyText(serverName, size, info.serverName);
        return rc;
    });
}

extern "C" LONG VlvEndEnumServers(LPVOID enumHandle) {
    return Guarded([&] { return End(enumHandle); });
}

extern "C" LONG VlvBeginEnumServersEB(LPCSTR domainName, LPVOID* enumHandle) {
    return Guarded([&] { return Begin(domainName, enumHandle); });
}

extern "C" LONG VlvGetNextEnumServerEB(LPVOID enumHandle, VlvServerInfo* info) {
    return Guarded([&] { return Next(enumHandle, info); });
}

extern "C" LONG VlvEndEnumServersEB(LPVOID enumHandle) {
    return Guarded([&] { return End(enumHandle); });
}
