// Objects whose data source the agent cannot reach yet (service states):
// registered so that a walk shows them, answered genErr.
#include "snmpagent/handlers.h"

UINT MIB_ServiceStatus(BYTE, const MibEntry*, SnmpVarBind*) {
    return SNMP_ERRORSTATUS_GENERR;
}
