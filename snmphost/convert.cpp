// Converting names and values between the engine and the agents.
#include "snmphost/convert.h"

#include <cstring>

namespace snmphost {

namespace {

bool CopyOctets(const u_char* bytes, size_t length, AsnOctetString* out) {
    if (length > 0xFFFFFFFFu) return false;
    const AsnOctetString view{const_cast<BYTE*>(bytes), static_cast<UINT>(length), FALSE};
    return SnmpUtilOctetsCpy(out, &view) == SNMPAPI_NOERROR;
}

}  // namespace

bool ToAsnName(const oid* name, size_t length, AsnObjectIdentifier* out) {
    *out = AsnObjectIdentifier{};
    if (length > SNMP_MAX_OID_LEN) return false;
    for (size_t i = 0; i < length; ++i)
        if (name[i] > 0xFFFFFFFFul) return false;
    if (length == 0) return true;
    auto* arcs = static_cast<UINT*>(SnmpUtilMemAlloc(static_cast<UINT>(length * sizeof(UINT))));
    if (!arcs) return false;
    for (size_t i = 0; i < length; ++i) arcs[i] = static_cast<UINT>(name[i]);
    *out = AsnObjectIdentifier{static_cast<UINT>(length), arcs};
    return true;
}

bool ToAsnValue(const netsnmp_variable_list* vb, AsnAny* out) {
    *out = AsnAny{};
    out->asnType = ASN_NULL;
    switch (vb->type) {
        case ASN_INTEGER:
            out->asnValue.number = static_cast<AsnInteger32>(*vb->val.integer);
            break;
        case ASN_COUNTER:
        case ASN_GAUGE:
        case ASN_TIMETICKS:
        case ASN_UINTEGER:
            out->asnValue.unsigned32 = static_cast<AsnUnsigned32>(*vb->val.integer);
            break;
        case ASN_COUNTER64:
            out->asnValue.counter64.QuadPart =
                (static_cast<uint64_t>(vb->val.counter64->high & 0xFFFFFFFFul) << 32) |
                (vb->val.counter64->low & 0xFFFFFFFFul);
            break;
        case ASN_OCTET_STR:
        case ASN_IPADDRESS:
        case ASN_OPAQUE:
            if (!CopyOctets(vb->val.string, vb->val_len, &out->asnValue.string)) return false;
            break;
        case ASN_OBJECT_ID:
            if (!ToAsnName(vb->val.objid, vb->val_len / sizeof(oid), &out->asnValue.object))
                return false;
            break;
        case ASN_NULL:
            return true;
        default:
            return false;
    }
    out->asnType = static_cast<BYTE>(vb->type);
    return true;
}

bool ToAsnBinding(const netsnmp_variable_list* vb, bool withValue, SnmpVarBind* out) {
    *out = SnmpVarBind{};
    out->value.asnType = ASN_NULL;
    if (!ToAsnName(vb->name, vb->name_length, &out->name)) return false;
    if (withValue && !ToAsnValue(vb, &out->value)) {
        SnmpUtilOidFree(&out->name);
        return false;
    }
    return true;
}

bool PutAsnValue(const AsnAny& value, netsnmp_variable_list* vb) {
    const auto& v = value.asnValue;
    switch (value.asnType) {
        case ASN_INTEGER:
            return snmp_set_var_typed_integer(vb, ASN_INTEGER, v.number) == 0;
        case ASN_COUNTER32:
        case ASN_GAUGE32:
        case ASN_TIMETICKS:
        case ASN_UNSIGNED32:
            return snmp_set_var_typed_integer(vb, value.asnType, static_cast<long>(v.unsigned32)) ==
                   0;
        case ASN_COUNTER64: {
            counter64 c{static_cast<u_long>(v.counter64.QuadPart >> 32),
                        static_cast<u_long>(v.counter64.QuadPart & 0xFFFFFFFFu)};
            return snmp_set_var_typed_value(vb, ASN_COUNTER64, &c, sizeof c) == 0;
        }
        case ASN_OCTETSTRING:
        case ASN_BITS:  // BITS travel as OCTET STRING
        case ASN_OPAQUE:
        case ASN_IPADDRESS: {
            if (v.string.length && !v.string.stream) return false;
            if (value.asnType == ASN_IPADDRESS && v.string.length != 4) return false;
            const u_char type = value.asnType == ASN_BITS ? ASN_OCTET_STR : value.asnType;
            return snmp_set_var_typed_value(vb, type, v.string.stream, v.string.length) == 0;
        }
        case ASN_OBJECTIDENTIFIER: {
            if (v.object.idLength > MAX_OID_LEN || (v.object.idLength && !v.object.ids))
                return false;
            std::vector<oid> arcs(v.object.ids, v.object.ids + v.object.idLength);
            return snmp_set_var_typed_value(vb, ASN_OBJECT_ID, arcs.data(),
                                            arcs.size() * sizeof(oid)) == 0;
        }
        case ASN_NULL:
        case SNMP_EXCEPTION_NOSUCHOBJECT:
        case SNMP_EXCEPTION_NOSUCHINSTANCE:
        case SNMP_EXCEPTION_ENDOFMIBVIEW:
            return snmp_set_var_typed_value(vb, value.asnType, nullptr, 0) == 0;
        default:
            return false;
    }
}

std::vector<oid> FromAsnName(const AsnObjectIdentifier& name) {
    if (name.idLength > MAX_OID_LEN || !name.ids) return {};
    return std::vector<oid>(name.ids, name.ids + name.idLength);
}

}  // namespace snmphost
