// What the SNMP service reads from the registry, under the keys the Windows
// SNMP service uses, so that registering an agent the Windows way is all
// that is needed here:
//   "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents"
//       values "1", "2", ... = key path (under HKLM) of each agent, whose
//       "Pathname" names the agent library;
//   "...\\Parameters\\ValidCommunities"
//       value name = community, REG_DWORD access (4 read-only, 8 read-write);
//   "...\\Parameters\\TrapConfiguration\\COMMUNITY"
//       values "1", "2", ... = trap destination "host" or "host:port";
//       an SNMPv1 trap with COMMUNITY, as the Windows service sends;
//   "...\\TrapConfiguration\\COMMUNITY\\N" (optional key, N = the name of
//       destination value N; the Windows service reads no keys there):
//       "Version" REG_DWORD 1 (SNMPv1, default), 2 (SNMPv2c) or 3 (SNMPv3);
//       "Inform" REG_DWORD 1 = an inform instead of a trap (versions 2, 3);
//       "Retries" REG_DWORD resends of an unanswered inform (default 2, at
//       most 5); "Timeout" REG_DWORD milliseconds to wait for each answer
//       (default 1000, 100 to 10000); "User" REG_SZ the SNMPv3 user (a name
//       in "...\\Parameters\\Users"), required with "Version" 3;
//   "...\\Parameters\\PermittedManagers"
//       values "1", "2", ... = host name or address of a manager; when any
//       is present, requests from every other address are not answered;
//   "...\\Parameters" value "EnableAuthenticationTraps"
//       REG_DWORD 1 = a request with an unknown community sends the generic
//       authenticationFailure trap to the destinations.
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

// Inform resends and waits are bounded so that an absent manager costs
// at most (kMaxInformRetries + 1) * kMaxInformTimeoutMs per inform.
inline constexpr unsigned kDefaultInformRetries = 2;
inline constexpr unsigned kMaxInformRetries = 5;
inline constexpr unsigned kDefaultInformTimeoutMs = 1000;
inline constexpr unsigned kMinInformTimeoutMs = 100;
inline constexpr unsigned kMaxInformTimeoutMs = 10000;

struct TrapDestination {
    std::string community;
    std::string address;  // "host" or "host:port"
    int version = 1;      // 1 SNMPv1, 2 SNMPv2c, 3 SNMPv3
    bool inform = false;  // acknowledged notification (versions 2 and 3)
    std::string user;     // SNMPv3 only
    unsigned retries = kDefaultInformRetries;
    unsigned timeoutMs = kDefaultInformTimeoutMs;
};

struct ServiceConfig {
    std::vector<AgentRegistration> agents;
    std::vector<Community> communities;  // only those that grant access
    std::vector<TrapDestination> trapDestinations;
    // Names or addresses as written; empty = every manager may ask.
    std::vector<std::string> permittedManagers;
    bool authenticationTraps = false;
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
