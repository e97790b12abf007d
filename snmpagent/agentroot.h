// The agent's enterprise subtree. The same arcs are the supported view handed
// to the SNMP service and the enterprise of every trap; both receive this
// array itself, which the service copies and never frees.
#pragma once

#include "platform/snmp.h"

inline constexpr UINT kAgentRootLength = 10;
extern UINT g_agentRoot[kAgentRootLength];
// The root as text, as registered cells are written below it.
inline constexpr const char* kAgentRootText = ".1.3.6.1.4.1.58231.2.12.9";
