// A small extension agent for testing the SNMP service: a few scalars of
// several types under .1.3.6.1.4.1.99999, answered the way SNMPv1 extension
// agents answer (noSuchName for unknown names, the view's end reported as a
// name past the view), and a trap queue filled by a SET of .9.0 with a list
// of specific codes ("5,7,9"); code 100 carries one variable binding.
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "platform/snmp.h"

namespace {

using Arcs = std::vector<UINT>;

// Built twice: a second copy on another enterprise arc serves the view just
// before this one, so that walks cross from one agent to the next.
#ifndef TEST_AGENT_ARC
#define TEST_AGENT_ARC 99999
#endif
const Arcs kRoot{1, 3, 6, 1, 4, 1, TEST_AGENT_ARC};
UINT g_rootArcs[] = {1, 3, 6, 1, 4, 1, TEST_AGENT_ARC};  // handed out, never copied

struct Object {
    BYTE type;
    bool writable;
    AsnInteger32 number;
    std::string text;
};

std::map<Arcs, Object> g_mib;  // touched only on the service's thread
std::mutex g_trapsMutex;
std::deque<int> g_traps;
orb::Event g_trapEvent;

Arcs Under(std::initializer_list<UINT> suffix) {
    Arcs arcs = kRoot;
    arcs.insert(arcs.end(), suffix);
    return arcs;
}

Arcs ArcsOf(const AsnObjectIdentifier& oid) { return Arcs(oid.ids, oid.ids + oid.idLength); }

void SetName(SnmpVarBind* binding, const Arcs& arcs) {
    SnmpUtilOidFree(&binding->name);
    const AsnObjectIdentifier view{static_cast<UINT>(arcs.size()), const_cast<UINT*>(arcs.data())};
    SnmpUtilOidCpy(&binding->name, &view);
}

void PutValue(AsnAny* value, const Object& object) {
    SnmpUtilAsnAnyFree(value);
    value->asnType = object.type;
    if (object.type == ASN_OCTETSTRING || object.type == ASN_IPADDRESS) {
        const AsnOctetString text{reinterpret_cast<BYTE*>(const_cast<char*>(object.text.data())),
                                  static_cast<UINT>(object.text.size()), FALSE};
        SnmpUtilOctetsCpy(&value->asnValue.string, &text);
    } else if (object.type == ASN_OBJECTIDENTIFIER) {
        SnmpMgrStrToOid(object.text.c_str(), &value->asnValue.object);
    } else {
        value->asnValue.number = object.number;
    }
}

void QueueTraps(const std::string& codes) {
    {
        std::lock_guard<std::mutex> lock(g_trapsMutex);
        for (const char* p = codes.c_str(); *p;) {
            char* end = nullptr;
            g_traps.push_back(static_cast<int>(strtol(p, &end, 10)));
            p = *end == ',' ? end + 1 : end + strlen(end);
        }
    }
    g_trapEvent.Set();  // once for the whole batch: the service drains until FALSE
}

AsnInteger32 Set(SnmpVarBind* binding) {
    auto it = g_mib.find(ArcsOf(binding->name));
    if (it == g_mib.end() || !it->second.writable) return SNMP_ERRORSTATUS_NOSUCHNAME;
    Object& object = it->second;
    if (binding->value.asnType != object.type) return SNMP_ERRORSTATUS_BADVALUE;
    if (object.type == ASN_INTEGER) {
        object.number = binding->value.asnValue.number;
        return SNMP_ERRORSTATUS_NOERROR;
    }
    const AsnOctetString& s = binding->value.asnValue.string;
    object.text.assign(reinterpret_cast<const char*>(s.stream), s.length);
    if (it->first == Under({9, 0})) QueueTraps(object.text);
    return SNMP_ERRORSTATUS_NOERROR;
}

AsnInteger32 Resolve(BYTE type, SnmpVarBind* binding) {
    if (type == SNMP_PDU_SET) return Set(binding);
    auto it = type == SNMP_PDU_GETNEXT ? g_mib.upper_bound(ArcsOf(binding->name))
                                       : g_mib.find(ArcsOf(binding->name));
    if (type == SNMP_PDU_GETNEXT && it == g_mib.end()) {
        Arcs past = kRoot;  // the end of this view: the service goes on past it
        ++past.back();
        SetName(binding, past);
        return SNMP_ERRORSTATUS_NOERROR;
    }
    if (it == g_mib.end()) return SNMP_ERRORSTATUS_NOSUCHNAME;
    if (type == SNMP_PDU_GETNEXT) SetName(binding, it->first);
    PutValue(&binding->value, it->second);
    return SNMP_ERRORSTATUS_NOERROR;
}

}  // namespace

extern "C" {

BOOL SnmpExtensionInit(DWORD, HANDLE* trapEvent, AsnObjectIdentifier* view) {
    g_mib[Under({1, 0})] = {ASN_OCTETSTRING, false, 0, "Test Agent"};
    g_mib[Under({2, 0})] = {ASN_INTEGER, true, 42, ""};
    g_mib[Under({3, 0})] = {ASN_COUNTER32, false, 7, ""};
    g_mib[Under({4, 0})] = {ASN_IPADDRESS, false, 0, std::string("\x7f\x00\x00\x01", 4)};
    g_mib[Under({5, 0})] = {ASN_OBJECTIDENTIFIER, false, 0, ".1.3.6.1.4.1.99999.5"};
    g_mib[Under({6, 0})] = {ASN_OCTETSTRING, true, 0, "note"};
    g_mib[Under({9, 0})] = {ASN_OCTETSTRING, true, 0, ""};
    *trapEvent = &g_trapEvent;
    view->idLength = static_cast<UINT>(kRoot.size());
    view->ids = g_rootArcs;
    return TRUE;
}

BOOL SnmpExtensionQuery(BYTE type, SnmpVarBindList* bindings, AsnInteger32* errorStatus,
                        AsnInteger32* errorIndex) {
    for (UINT i = 0; i < bindings->len; ++i) {
        const AsnInteger32 status = Resolve(type, &bindings->list[i]);
        if (status != SNMP_ERRORSTATUS_NOERROR) {
            *errorStatus = status;
            *errorIndex = static_cast<AsnInteger32>(i + 1);
            return TRUE;
        }
    }
    *errorStatus = SNMP_ERRORSTATUS_NOERROR;
    return TRUE;
}

BOOL SnmpExtensionTrap(AsnObjectIdentifier* enterprise, AsnInteger32* genericTrap,
                       AsnInteger32* specificTrap, AsnTimeticks* timeStamp,
                       SnmpVarBindList* bindings) {
    int code = 0;
    {
        std::lock_guard<std::mutex> lock(g_trapsMutex);
        if (g_traps.empty()) return FALSE;
        code = g_traps.front();
        g_traps.pop_front();
    }
    enterprise->idLength = static_cast<UINT>(kRoot.size());
    enterprise->ids = g_rootArcs;
    *genericTrap = SNMP_GENERICTRAP_ENTERSPECIFIC;
    *specificTrap = code;
    *timeStamp = 0;
    bindings->len = 0;
    bindings->list = nullptr;
    if (code == 100) {
        bindings->list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind)));
        bindings->len = 1;
        SetName(&bindings->list[0], Under({1, 0}));
        PutValue(&bindings->list[0].value, g_mib[Under({1, 0})]);
    }
    return TRUE;
}

}  // extern "C"
