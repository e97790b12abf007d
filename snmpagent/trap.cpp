#include "snmpagent/trap.h"

#include <atomic>
#include <cstdlib>

#include "snmpagent/agentroot.h"
#include "snmpagent/quehlp.h"
#include "snmpagent/trace.h"

namespace {

std::atomic<DWORD> g_timeZero{0};

}  // namespace

void trapsInitialize(DWORD timeZeroReference, HANDLE trapEvent) {
    g_timeZero = timeZeroReference;
    mqCreate(kTrapQueueName, trapEvent);
}

void sendTrap(BYTE specificCode) {
    const BYTE message[4] = {specificCode, 0, 0, 0};
    mqSend(kTrapQueueName, message, sizeof message);
}

extern "C" BOOL SnmpExtensionTrap(AsnObjectIdentifier* enterprise, AsnInteger32* genericTrap,
                                  AsnInteger32* specificTrap, AsnTimeticks* timeStamp,
                                  SnmpVarBindList* bindings) {
    agentTrace("SnmpExtensionTrap: Entered\n");
    BYTE* message = nullptr;
    UINT length = 0;
    if (mqReceive(kTrapQueueName, &message, &length, 1) != 0) {
        agentTrace("SnmpExtensionTrap: Returning FALSE\n");
        return FALSE;
    }
    agentTrace("SnmpExtensionTrap: mqReceive return a ZERO\n");
    agentTrace("SnmpExtensionTrap: mqReceive I have data\n");
    if (enterprise) {
        enterprise->idLength = kAgentRootLength;
        enterprise->ids = g_agentRoot;
    }
    if (genericTrap) *genericTrap = SNMP_GENERICTRAP_ENTERSPECIFIC;
    // The code is a signed byte; an empty message carries code 0.
    if (specificTrap) *specificTrap = length ? static_cast<signed char>(message[0]) : 0;
    if (timeStamp) *timeStamp = GetTickCount() - g_timeZero;
    if (bindings) {
        bindings->list = nullptr;
        bindings->len = 0;
    }
    free(message);
    agentTrace("SnmpExtensionTrap: Returning TRUE\n");
    return TRUE;
}
