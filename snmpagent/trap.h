// The trap queue: the agent's threads put 4-byte messages on it whose first
// byte is the specific-trap code; SnmpExtensionTrap turns each into one
// enterprise-specific SNMPv1 trap.
#pragma once

#include "platform/snmp.h"

inline constexpr const char* kTrapQueueName = "lmEB_Traps";

// Creates the trap queue bound to the service's trap event; keeps the
// time-zero reference for the traps' time stamps.
void trapsInitialize(DWORD timeZeroReference, HANDLE trapEvent);
// Queues a trap with this specific code (ignoring a missing queue).
void sendTrap(BYTE specificCode);
