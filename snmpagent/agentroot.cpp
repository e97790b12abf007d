#include "snmpagent/agentroot.h"

UINT g_agentRoot[kAgentRootLength] = {1, 3, 6, 1, 4, 1, 58231, 2, 12, 9};
