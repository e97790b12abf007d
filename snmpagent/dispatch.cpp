#include "snmpagent/dispatch.h"

#include <cstring>

#include "snmpagent/agentroot.h"
#include "snmpagent/mibtree.h"
#include "snmpagent/oidtext.h"
#include "snmpagent/trace.h"

namespace {

// Moves the binding's name past the end of this agent's view (the root with
// its last arc increased), which tells the service to go on in the next view.
UINT pointPastView(SnmpVarBind* binding) {
    UINT past[kAgentRootLength];
    for (UINT i = 0; i < kAgentRootLength; ++i) past[i] = g_agentRoot[i];
    ++past[kAgentRootLength - 1];
    const AsnObjectIdentifier end{kAgentRootLength, past};
    SnmpUtilOidFree(&binding->name);
    return SnmpUtilOidCpy(&binding->name, &end) == SNMPAPI_NOERROR ? SNMP_ERRORSTATUS_NOERROR
                                                                  : SNMP_ERRORSTATUS_GENERR;
}

// The binding's name becomes `name`, in the memory the name had.
bool rename(SnmpVarBind* binding, const MibOid& name) {
    auto* ids = static_cast<UINT*>(
        SnmpUtilMemReAlloc(binding->name.ids, static_cast<UINT>(name.count * sizeof(UINT))));
    if (!ids) return false;
    memcpy(ids, name.ids, name.count * sizeof(UINT));
    binding->name.ids = ids;
    binding->name.idLength = name.count;
    return true;
}

// GETNEXT: the entry of the next object, with the binding renamed to it.
UINT moveToNext(SnmpVarBind* binding, const MibEntry** entry) {
    MibOid next;
    char nextText[kMibOidTextSize] = "";
    const int rc = mibGetNextOid(binding->name, &next, agentTracing() ? nextText : nullptr,
                                 sizeof nextText, entry);
    if (rc != 0) {
        agentTrace("ResolveVarBind: mibGetNext return %d\n", rc);
        return SNMP_ERRORSTATUS_NOSUCHNAME;
    }
    agentTrace("ResolveVarBind: mibGetNext mib=%s\n", nextText);
    return rename(binding, next) ? SNMP_ERRORSTATUS_NOERROR : SNMP_ERRORSTATUS_GENERR;
}

// Whether the name has a text in the request's buffer; the text itself is
// rendered only for the trace.
bool requestText(const AsnObjectIdentifier& name, char* text, size_t size) {
    if (agentTracing()) return renderOidText(name, text, size);
    text[0] = '\0';
    return oidTextFits(name, size);
}

UINT queryBindings(BYTE requestType, SnmpVarBindList* bindings, AsnInteger32* errorStatus,
                   AsnInteger32* errorIndex) {
    for (UINT i = 0; i < bindings->len; ++i) {
        agentTrace("SnmpExtensionQuery: interation %d, of %d\n", static_cast<int>(i),
                   static_cast<int>(bindings->len));
        UINT status = ResolveVarBind(&bindings->list[i], requestType);
        if (status == SNMP_ERRORSTATUS_NOSUCHNAME && requestType == SNMP_PDU_GETNEXT)
            status = pointPastView(&bindings->list[i]);
        if (status != SNMP_ERRORSTATUS_NOERROR) {
            *errorStatus = static_cast<AsnInteger32>(status);
            if (errorIndex) *errorIndex = static_cast<AsnInteger32>(i + 1);
            return status;
        }
    }
    return SNMP_ERRORSTATUS_NOERROR;
}

}  // namespace

UINT ResolveVarBind(SnmpVarBind* binding, BYTE requestType) {
    char oidText[kRequestOidTextSize];
    // A name too long to render is no object of this agent.
    const bool rendered = requestText(binding->name, oidText, sizeof oidText);
    agentTrace("ResolveVarBind: Entered, Action=%d, OID=%s\n", requestType, oidText);
    if (!rendered) return SNMP_ERRORSTATUS_NOSUCHNAME;

    const MibEntry* entry = nullptr;
    if (requestType == SNMP_PDU_GETNEXT) {
        // The entry found with the next name is used as it is: asking again
        // by name could miss a cell that a collector removed in between.
        const UINT status = moveToNext(binding, &entry);
        if (status != SNMP_ERRORSTATUS_NOERROR) return status;
    } else {
        const int rc = mibGetOid(binding->name, &entry);
        if (rc != 0) {
            agentTrace("ResolveVarBind: mibGet return %d\n", rc);
            return SNMP_ERRORSTATUS_NOSUCHNAME;
        }
    }
    if (!entry || !entry->mibFunction) {
        agentTrace("ResolveVarBind: No MibPtr found\n");
        return SNMP_ERRORSTATUS_NOSUCHNAME;
    }
    agentTrace("ResolveVarBind: Calling mibFunction\n");
    const BYTE handlerType = requestType == SNMP_PDU_GETNEXT ? SNMP_PDU_GET : requestType;
    return entry->mibFunction(handlerType, entry, binding);
}

extern "C" BOOL SnmpExtensionQuery(BYTE requestType, SnmpVarBindList* bindings,
                                   AsnInteger32* errorStatus, AsnInteger32* errorIndex) {
    agentTrace("SnmpExtensionQuery: Entered\n");
    AsnInteger32 ignored = 0;
    if (!errorStatus) errorStatus = &ignored;
    *errorStatus = SNMP_ERRORSTATUS_NOERROR;
    if (!bindings || (bindings->len && !bindings->list)) return TRUE;
    try {
        queryBindings(requestType, bindings, errorStatus, errorIndex);
    } catch (...) {
        // Nothing may escape into the service: a failure is a genErr.
        *errorStatus = SNMP_ERRORSTATUS_GENERR;
    }
    return TRUE;
}
