// Serving one extension agent's view through the engine: a handler
// registered on the view passes every GET, GETNEXT and SET of the view to
// SnmpExtensionQuery, all bindings of one request in one call, as the
// Windows SNMP service does (the agent's error index counts in that list).
#pragma once

#include <string>

#include "snmphost/agent.h"

namespace snmphost {

// Registers the agent's view with the engine (after init_agent). The agent
// must outlive the engine. false and *error when the engine refuses (for
// example a view another agent already serves).
bool RegisterAgentView(ExtensionAgent* agent, std::string* error);

// The error status to answer for an agent's SNMPv1 status in a request of
// the given kind (SNMP_PDU_GET, _GETNEXT, _SET): unchanged for SNMPv1
// requests, the SNMPv2 equivalent otherwise.
int MapAgentStatus(int status, BYTE requestType, bool v1Request);

}  // namespace snmphost
