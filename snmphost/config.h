// What the SNMP service reads from the registry, under the keys the Windows
// SNMP service uses, so that registering an agent the Windows way is all
// that is needed here:
//   "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents"
//       values "1", "2", ... = key path (under HKLM) of each agent, whose
//       "Pathname" names the agent library;
//   "...\\Parameters\\ValidCommunities"
//       value name = community, REG_DWORD access (4 read-only, 8 read-write);
//   "...\\Parameters\\TrapConfiguration\\COMMUNITY"
//       values "1", "2", ... = trap destination "host" or "host:port".
#pragma once

#include <string>
#include <vector>

namespace snmphost {

inline constexpr const char* kParametersKey =
    "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters";

struct AgentRegistration {
    std::string key;       // the agent's key, as listed
    std::string pathname;  // the library, "\\" turned into "/", %VAR% expanded
};

enum class Access { kNone, kReadOnly, kReadWrite };

struct Community {
    std::string name;
    Access access = Access::kNone;
};

struct TrapDestination {
    std::string community;
    std::string address;  // "host" or "host:port"
};

struct ServiceConfig {
    std::vector<AgentRegistration> agents;
    std::vector<Community> communities;  // only those that grant access
    std::vector<TrapDestination> trapDestinations;
    std::vector<std::string> warnings;  // entries skipped, for the log
    // The first registry failure other than a missing key or value (a
    // damaged hive answers ERROR_BADDB); the service must not start on it.
    long registryError = 0;
};

// Reads all of it; missing keys give empty lists. Agents come in the numeric
// order of their value names, as the Windows service loads them.
ServiceConfig ReadServiceConfig();

// The Windows access values: 1 none, 2 notify, 4 read-only, 8 read-write,
// 16 read-create (served as read-write).
Access AccessFromRegistry(unsigned value);

}  // namespace snmphost
