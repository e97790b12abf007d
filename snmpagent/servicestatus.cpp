// MIB_ServiceStatus: .7.N.0, the state of one backup service as text.
#include "platform/scm.h"
#include "snmpagent/handlers.h"
#include "snmpagent/servicestate.h"
#include "snmpagent/trace.h"
#include "snmpagent/values.h"

namespace {

UINT getStatus(const MibEntry* entry, SnmpVarBind* binding) {
    agentTrace("MIB_ServiceStatus: MIB ACTION=Get service=%s\n", entry->text);
    char text[1024];
    serviceStateText(readServiceState(entry->text, SERVICE_ALL_ACCESS), text, sizeof text);
    return putText(binding, text);
}

}  // namespace

UINT MIB_ServiceStatus(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding) {
    agentTrace("MIB_ServiceStatus: Entered\n");
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (!manager) {
        agentTrace("MIB_ServiceStatus: Could not open SCManager\n");
        return SNMP_ERRORSTATUS_GENERR;
    }
    UINT rc = SNMP_ERRORSTATUS_GENERR;
    if (requestType == SNMP_PDU_SET)
        rc =
            entry->access == kMibReadOnly ? SNMP_ERRORSTATUS_NOSUCHNAME : SNMP_ERRORSTATUS_BADVALUE;
    else if (requestType == SNMP_PDU_GET)
        rc = getStatus(entry, binding);
    CloseServiceHandle(manager);
    return rc;
}
