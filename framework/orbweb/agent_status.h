// Live status of a backup server's SNMP agent, as a console shows it beside
// the object: the agent's state, the eight backup services, how many jobs,
// media and tape drives its tables hold, and the worst watcher status. Read
// with net-snmp's single-session API, every request with a short time-out
// and no retry, so that a host without an agent answers "no answer" quickly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace orbweb {

struct SnmpSettings {
    unsigned port = 161;
    unsigned timeoutMs = 500;
    std::string community = "public";  // SNMPv2c when no user is given
    // SNMPv3 authPriv with AES: the user and its two passphrases.
    std::string user;
    std::string authProtocol = "SHA-256";  // "SHA", "SHA-256", "SHA-512"
    std::string authPassphrase;
    std::string privPassphrase;
};

struct AgentStatus {
    std::string address;
    bool asked = false;     // false: the address is no IPv4 address to ask
    bool answered = false;  // the agent answered the first request
    std::string error;      // why there is no (complete) answer
    std::string agentState;
    std::vector<std::pair<std::string, std::string>> services;  // name, state
    // Rows of each table; nothing when the walk got no answer.
    std::optional<long> jobs, media, tapeDrives;
    bool countsCut = false;  // a table was longer than the console walks
    std::optional<long> worstWatcher;
};

// The eight backup services in the order of the agent's service objects.
const std::vector<std::string>& BackupServiceNames();

// A dotted IPv4 address (four decimal parts 0-255): the only text from the
// repository the console hands to the SNMP library as a peer.
bool IsIpv4Address(const std::string& text);

// Text for a watcher status: OK, WARNING, CRITICAL or "connect error N".
std::string WatcherStatusText(long status);

class AgentReader {
  public:
    explicit AgentReader(SnmpSettings settings);
    ~AgentReader();
    AgentReader(const AgentReader&) = delete;
    AgentReader& operator=(const AgentReader&) = delete;
    // Asks the agent at address; one reader asks one agent at a time.
    AgentStatus Read(const std::string& address);
    const SnmpSettings& settings() const { return settings_; }

  private:
    SnmpSettings settings_;
};

}  // namespace orbweb
