// Memory, octet strings, values and variable bindings of the extension-agent
// interface. The allocator is the bare C heap so that blocks may cross
// between the service and the agents, each of which links its own copy.
#include <cstdlib>
#include <cstring>

#include "platform/snmp.h"

namespace {

bool IsOctetType(BYTE type) {
    switch (type) {
        case ASN_OCTETSTRING:
        case ASN_BITS:
        case ASN_SEQUENCE:
        case ASN_IPADDRESS:
        case ASN_OPAQUE:
            return true;
        default:
            return false;
    }
}

void ClearOctets(AsnOctetString* octets) {
    octets->stream = nullptr;
    octets->length = 0;
    octets->dynamic = FALSE;
}

}  // namespace

extern "C" {

LPVOID SnmpUtilMemAlloc(UINT bytes) { return calloc(1, bytes ? bytes : 1); }

void SnmpUtilMemFree(LPVOID block) { free(block); }

LPVOID SnmpUtilMemReAlloc(LPVOID block, UINT bytes) {
    if (!block) return SnmpUtilMemAlloc(bytes);
    return realloc(block, bytes ? bytes : 1);
}

SNMPAPI SnmpUtilOctetsCpy(AsnOctetString* dst, const AsnOctetString* src) {
    if (!dst) return SNMPAPI_ERROR;
    ClearOctets(dst);
    if (!src || (src->length && !src->stream)) return SNMPAPI_ERROR;
    if (src->length == 0) return SNMPAPI_NOERROR;
    auto* stream = static_cast<BYTE*>(SnmpUtilMemAlloc(src->length));
    if (!stream) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return SNMPAPI_ERROR;
    }
    memcpy(stream, src->stream, src->length);
    dst->stream = stream;
    dst->length = src->length;
    dst->dynamic = TRUE;
    return SNMPAPI_NOERROR;
}

void SnmpUtilOctetsFree(AsnOctetString* octets) {
    if (!octets) return;
    if (octets->dynamic) SnmpUtilMemFree(octets->stream);
    ClearOctets(octets);
}

SNMPAPI SnmpUtilAsnAnyCpy(AsnAny* dst, const AsnAny* src) {
    if (!dst || !src) return SNMPAPI_ERROR;
    memset(dst, 0, sizeof *dst);
    dst->asnType = ASN_NULL;
    SNMPAPI rc = SNMPAPI_NOERROR;
    if (IsOctetType(src->asnType))
        rc = SnmpUtilOctetsCpy(&dst->asnValue.string, &src->asnValue.string);
    else if (src->asnType == ASN_OBJECTIDENTIFIER)
        rc = SnmpUtilOidCpy(&dst->asnValue.object, &src->asnValue.object);
    else
        dst->asnValue = src->asnValue;  // plain numbers, or nothing
    if (rc == SNMPAPI_NOERROR) dst->asnType = src->asnType;
    return rc;
}

void SnmpUtilAsnAnyFree(AsnAny* any) {
    if (!any) return;
    if (IsOctetType(any->asnType))
        SnmpUtilOctetsFree(&any->asnValue.string);
    else if (any->asnType == ASN_OBJECTIDENTIFIER)
        SnmpUtilOidFree(&any->asnValue.object);
    memset(&any->asnValue, 0, sizeof any->asnValue);
    any->asnType = ASN_NULL;
}

SNMPAPI SnmpUtilVarBindCpy(SnmpVarBind* dst, const SnmpVarBind* src) {
    if (!dst) return SNMPAPI_ERROR;
    memset(dst, 0, sizeof *dst);
    dst->value.asnType = ASN_NULL;
    if (!src) return SNMPAPI_ERROR;
    if (SnmpUtilOidCpy(&dst->name, &src->name) != SNMPAPI_NOERROR) return SNMPAPI_ERROR;
    if (SnmpUtilAsnAnyCpy(&dst->value, &src->value) != SNMPAPI_NOERROR) {
        SnmpUtilOidFree(&dst->name);
        return SNMPAPI_ERROR;
    }
    return SNMPAPI_NOERROR;
}

void SnmpUtilVarBindFree(SnmpVarBind* binding) {
    if (!binding) return;
    SnmpUtilOidFree(&binding->name);
    SnmpUtilAsnAnyFree(&binding->value);
}

SNMPAPI SnmpUtilVarBindListCpy(SnmpVarBindList* dst, const SnmpVarBindList* src) {
    if (!dst) return SNMPAPI_ERROR;
    dst->list = nullptr;
    dst->len = 0;
    if (!src || (src->len && !src->list)) return SNMPAPI_ERROR;
    if (src->len == 0) return SNMPAPI_NOERROR;
    if (src->len > 0xFFFFFFFFu / sizeof(SnmpVarBind)) return SNMPAPI_ERROR;
    auto* list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(src->len * sizeof(SnmpVarBind)));
    if (!list) return SNMPAPI_ERROR;
    dst->list = list;
    for (UINT i = 0; i < src->len; ++i) {
        if (SnmpUtilVarBindCpy(&list[i], &src->list[i]) != SNMPAPI_NOERROR) {
            SnmpUtilVarBindListFree(dst);  // frees the i bindings copied so far
            return SNMPAPI_ERROR;
        }
        dst->len = i + 1;
    }
    return SNMPAPI_NOERROR;
}

void SnmpUtilVarBindListFree(SnmpVarBindList* list) {
    if (!list) return;
    for (UINT i = 0; i < list->len && list->list; ++i) SnmpUtilVarBindFree(&list->list[i]);
    SnmpUtilMemFree(list->list);
    list->list = nullptr;
    list->len = 0;
}

}  // extern "C"
