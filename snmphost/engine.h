// The SNMP engine (net-snmp's agent library) set up as this service: a
// standalone agent on the listening addresses, or an AgentX subagent of the
// system's master agent. Everything here runs on the one SNMP thread.
#pragma once

#include <string>
#include <vector>

#include "snmphost/agent.h"
#include "snmphost/config.h"

namespace snmphost {

struct EngineOptions {
    std::string listen;       // "udp:127.0.0.1:1161" (standalone), comma list allowed
    std::string agentx;       // AgentX socket of the master; non-empty = subagent
    std::string trapAddress;  // agent-addr of SNMPv1 traps; empty = the engine's choice
};

// Starts the engine and serves the agents' views. Communities, permitted
// managers and authentication traps come from config, SNMPv3 users and the
// SNMPv3-only switch from usm (standalone only); the trap destinations are
// opened afterwards (Notifications). false and *error when it cannot serve.
bool StartEngine(const EngineOptions& options, const ServiceConfig& config, const UsmConfig& usm,
                 const std::vector<ExtensionAgent*>& agents, std::string* error);
// Calls onReadable(fd, data) on the SNMP thread whenever fd is readable.
void WatchDescriptor(int fd, void (*onReadable)(int, void*), void* data);
// Serves what is due (requests, timers, watched descriptors); blocks until
// something arrives.
void ServeOnce();
void StopEngine();
// The engine's log (standard error), for the service's own lines.
void Log(int priority, const std::string& line);

}  // namespace snmphost
