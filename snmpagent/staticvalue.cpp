// The two constant objects: the agent's state text and its version.
#include "snmpagent/handlers.h"
#include "snmpagent/trace.h"
#include "snmpagent/values.h"

namespace {

bool isNumberType(BYTE type) {
    return type == ASN_INTEGER || type == ASN_COUNTER32 || type == ASN_GAUGE32;
}

UINT getStatic(const MibEntry* entry, SnmpVarBind* binding) {
    agentTrace("MIB_StaticValue: MIB ACTION=Get\n");
    if (entry->access != kMibReadOnly && entry->access != kMibReadWrite)
        return SNMP_ERRORSTATUS_NOSUCHNAME;
    if (entry->type == ASN_OCTETSTRING) return putText(binding, entry->text);
    if (!isNumberType(entry->type)) return SNMP_ERRORSTATUS_GENERR;
    putInteger(binding, entry->number);
    binding->value.asnType = entry->type;
    return SNMP_ERRORSTATUS_NOERROR;
}

// Accepted values are not stored: the objects are constants.
UINT setStatic(const MibEntry* entry, const SnmpVarBind* binding) {
    agentTrace("MIB_StaticValue: MIB ACTION=Set\n");
    if (entry->access != kMibWriteOnly && entry->access != kMibReadWrite)
        return SNMP_ERRORSTATUS_NOSUCHNAME;
    if (binding->value.asnType != entry->type) return SNMP_ERRORSTATUS_BADVALUE;
    if (entry->type == ASN_OCTETSTRING || isNumberType(entry->type))
        return SNMP_ERRORSTATUS_NOERROR;
    return SNMP_ERRORSTATUS_GENERR;
}

}  // namespace

UINT MIB_StaticValue(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding) {
    if (requestType == SNMP_PDU_GET) return getStatic(entry, binding);
    if (requestType == SNMP_PDU_SET) return setStatic(entry, binding);
    return SNMP_ERRORSTATUS_GENERR;
}
