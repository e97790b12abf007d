// The MIB handlers (`mibFunction` of the registration rows). Each answers
// one binding and returns an SNMPv1 error status: 0 noError, 2 noSuchName,
// 3 badValue, 5 genErr.
#pragma once

#include "snmpagent/mibentry.h"

// .3.1.0 and .3.2.0: the entry's own value.
UINT MIB_StaticValue(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding);
// .6.1.0 and .6.2.0: the switches that stop and start the backup services.
UINT MIB_ShutdownService(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding);
UINT MIB_StartupService(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding);
// .7.N.0: the state of one backup service.
UINT MIB_ServiceStatus(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding);
// .12: the watcher form and table.
UINT MIB_History(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding);
// Cells of the jobs (.9), media (.10) and tape-drive (.11) tables.
UINT MIB_Jobs(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding);
UINT MIB_Media(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding);
UINT MIB_TapeDrvs(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding);
