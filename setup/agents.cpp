// The SNMP service's extension-agent list: one value per agent, named by a
// number, whose data is the agent's key; the agent's key names its library.
//
// The whole list is read, however long it is: a registration must see the
// highest number and an existing entry for this agent even among more than
// a hundred values, and a removal must find this agent's value wherever it is.
#include <strings.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "setup/actions.h"

namespace orbf {
namespace {

constexpr DWORD kNameSize = 256;
constexpr DWORD kDataSize = 260;

// Leading decimal digits; a name that is not a number counts as 0.
unsigned long long NumberOf(const std::string& name) {
    unsigned long long number = 0;
    for (char c : name) {
        if (c < '0' || c > '9') break;
        if (number > 1000000000000ull) break;  // far beyond any list; no overflow
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    return number;
}

}  // namespace

std::string AgentKeyPath() {
    return std::string(CKestRegistry::m_sVaultlineKey) + "\\SNMPAgents\\lmebagent";
}

std::vector<AgentEntry> ListAgents() {
    std::vector<AgentEntry> agents;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAgentListKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return agents;
    for (DWORD index = 0;; ++index) {
        char name[kNameSize] = {};
        char data[kDataSize] = {};
        DWORD nameLength = kNameSize, dataLength = kDataSize - 1, type = 0;
        LONG code = RegEnumValueA(key, index, name, &nameLength, nullptr, &type,
                                  reinterpret_cast<LPBYTE>(data), &dataLength);
        if (code == ERROR_NO_MORE_ITEMS) break;
        if (code != ERROR_SUCCESS) {
            // A value too long to read is reported and passed over; it is
            // left in the list key as it is.
            if (code != ERROR_INSUFFICIENT_BUFFER)
                std::printf("error rc=%d, lasterr=%d\n", static_cast<int>(code),
                            static_cast<int>(GetLastError()));
            continue;
        }
        AgentEntry entry;
        entry.unnamed = name[0] == '\0';
        entry.name = entry.unnamed ? "__noname__" : name;
        entry.number = NumberOf(name);
        entry.data = (type == REG_SZ || type == REG_EXPAND_SZ) ? data : "";
        agents.push_back(entry);
    }
    RegCloseKey(key);
    return agents;
}

bool RegisterAgent(const std::string& pathname) {
    const std::string agentKey = AgentKeyPath();
    unsigned long long highest = 0;
    for (const AgentEntry& entry : ListAgents()) {
        if (strcasecmp(entry.data.c_str(), agentKey.c_str()) == 0) return false;
        if (entry.number > highest) highest = entry.number;
    }
    const std::string number = std::to_string(highest + 1);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, agentKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Pathname", 0, REG_SZ, reinterpret_cast<const BYTE*>(pathname.c_str()),
                       static_cast<DWORD>(pathname.size()));
        RegCloseKey(key);
    }
    // The SNMP service exists (it was looked for), so its parameters key may
    // be made here when it has none yet.
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAgentListKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, number.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(agentKey.c_str()),
                       static_cast<DWORD>(agentKey.size()));
        RegCloseKey(key);
    }
    return true;
}

bool RemoveAgent() {
    const std::string agentKey = AgentKeyPath();
    for (const AgentEntry& entry : ListAgents()) {
        if (strcasecmp(entry.data.c_str(), agentKey.c_str()) != 0) continue;
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAgentListKey, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
            RegDeleteValueA(key, entry.unnamed ? "" : entry.name.c_str());
            RegCloseKey(key);
        }
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, agentKey.c_str());
        return true;
    }
    return false;
}

}  // namespace orbf
