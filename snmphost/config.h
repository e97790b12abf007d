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
//       in "...\\Parameters\\Users"), required with "Version" 3, whose level,
//       protocols and keys the SNMPv3 notification is sent with;
//   "...\\Parameters\\PermittedManagers"
//       values "1", "2", ... = host name or address of a manager; when any
//       is present, requests from every other address are not answered;
//   "...\\Parameters" value "EnableAuthenticationTraps"
//       REG_DWORD 1 = a request with an unknown community sends the generic
//       authenticationFailure trap to the destinations.
// SNMPv3 (standalone mode only; ReadUsmConfig):
//   "...\\Parameters\\Users\\USER", one subkey a USM user:
//       "SecurityLevel"  REG_SZ noAuthNoPriv | authNoPriv | authPriv (default
//                        authPriv); requests below it get no data;
//       "AuthProtocol"   REG_SZ SHA (SHA-1) | SHA-256 | SHA-512 (default
//                        SHA-256); MD5 is refused;
//       "PrivProtocol"   REG_SZ AES (AES-128, the default); DES is refused;
//       "AuthPassphrase", "PrivPassphrase"  REG_SZ, at least 8 characters;
//       "PassphraseFile" REG_SZ, instead of the two: a file only this account
//                        can read, line 1 the authentication passphrase,
//                        line 2 the privacy passphrase;
//       "Access"         REG_DWORD as for communities (4 read-only, the
//                        default; 8 read-write);
//   "...\\Parameters" value "SNMPv3Only" REG_DWORD, non-zero: no community is
//       served, so SNMPv1 and SNMPv2c requests get no answer.
// Passphrases come only from the hive or that file, each checked to be
// owner-only; they are never logged.
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

enum class SecurityLevel { kNoAuthNoPriv, kAuthNoPriv, kAuthPriv };

struct UsmUser {
    std::string name;
    SecurityLevel level = SecurityLevel::kAuthPriv;
    std::string authProtocol;  // the engine's words: "SHA", "SHA-256", "SHA-512"
    std::string privProtocol;  // "AES"
    std::string authPassphrase;
    std::string privPassphrase;
    Access access = Access::kReadOnly;
};

struct UsmConfig {
    std::vector<UsmUser> users;  // only the usable ones
    bool v3Only = false;
    std::vector<std::string> warnings;  // users refused and why, for the log
    long registryError = 0;             // as ServiceConfig::registryError
    // Overwrites the passphrases once the engine has its keys.
    void ForgetPassphrases();
};

// Reads the SNMPv3 users and the SNMPv3-only switch.
UsmConfig ReadUsmConfig();

// The Windows access values: 1 none, 2 notify, 4 read-only, 8 read-write,
// 16 read-create (served as read-write).
Access AccessFromRegistry(unsigned value);

}  // namespace snmphost
