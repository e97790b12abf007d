// The two switches .6.1.0 (stop all backup services) and .6.2.0 (start
// them). Reading a switch always gives its entry's value, 0; setting it to 1
// walks the entry's service list.
#include "snmpagent/handlers.h"
#include "snmpagent/servicecontrol.h"
#include "snmpagent/trace.h"
#include "snmpagent/values.h"

namespace {

// What differs between the two switches: their trace lines and the action.
struct SwitchTexts {
    const char* getLine;
    const char* setLine;
    const char* valueLine;
    // Refusal lines of the SET checks; null where the switch traces none.
    const char* accessLine;
    const char* typeLine;
    const char* unsupportedLine;
    bool start;
};

const SwitchTexts kShutdown = {"MIB_ShutdownService: Get request\n",
                               "MIB_ShutdownService: Set request\n",
                               "MIB_ShutdownService: value=%d\n",
                               nullptr,
                               nullptr,
                               nullptr,
                               false};
const SwitchTexts kStartup = {"MIB_StartupService: Get request\n",
                              "MIB_StartupService: Set request\n",
                              "MIB_StartupService: value=%d\n",
                              "MIB_StartupService: Access is not ReadWrite or Write\n",
                              "MIB_StartupService: asnType is not mibType\n",
                              "MIB_StartupService: asnType not supported\n",
                              true};

void traceIf(const char* line) {
    if (line) agentTrace("%s", line);
}

UINT getSwitch(const SwitchTexts& texts, const MibEntry* entry, SnmpVarBind* binding) {
    agentTrace("%s", texts.getLine);
    if (entry->access != kMibReadOnly && entry->access != kMibReadWrite)
        return SNMP_ERRORSTATUS_NOSUCHNAME;
    if (entry->type != ASN_INTEGER) return SNMP_ERRORSTATUS_GENERR;
    return putInteger(binding, entry->number);
}

UINT setSwitch(const SwitchTexts& texts, const MibEntry* entry, const SnmpVarBind* binding) {
    agentTrace("%s", texts.setLine);
    if (entry->access != kMibWriteOnly && entry->access != kMibReadWrite) {
        traceIf(texts.accessLine);
        return SNMP_ERRORSTATUS_NOSUCHNAME;
    }
    if (binding->value.asnType != entry->type) {
        traceIf(texts.typeLine);
        return SNMP_ERRORSTATUS_BADVALUE;
    }
    if (entry->type != ASN_INTEGER) {
        traceIf(texts.unsupportedLine);
        return SNMP_ERRORSTATUS_GENERR;
    }
    const LONG value = binding->value.asnValue.number;
    agentTrace(texts.valueLine, value);
    if (value != 1) return SNMP_ERRORSTATUS_NOERROR;
    return controlServiceList(entry->services, texts.start);
}

UINT serviceSwitch(const SwitchTexts& texts, BYTE requestType, const MibEntry* entry,
                   SnmpVarBind* binding) {
    if (requestType == SNMP_PDU_GET) return getSwitch(texts, entry, binding);
    if (requestType == SNMP_PDU_SET) return setSwitch(texts, entry, binding);
    return SNMP_ERRORSTATUS_GENERR;
}

}  // namespace

UINT MIB_ShutdownService(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding) {
    agentTrace("MIB_ShutdownService: Entered\n");
    return serviceSwitch(kShutdown, requestType, entry, binding);
}

UINT MIB_StartupService(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding) {
    return serviceSwitch(kStartup, requestType, entry, binding);
}
