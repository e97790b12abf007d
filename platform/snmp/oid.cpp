// Object identifiers: copy, append, compare, free, print and parse.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/snmp.h"

namespace {

// Empties an OID without freeing anything (for destinations of failed calls).
void Clear(AsnObjectIdentifier* oid) {
    oid->idLength = 0;
    oid->ids = nullptr;
}

// Arcs of a parsed text, before they are copied into SnmpUtilMemAlloc memory.
struct Arcs {
    UINT ids[SNMP_MAX_OID_LEN];
    UINT count = 0;
};

// Parses one arc of digits at *p, advancing past it. Refuses an empty arc
// and values that do not fit 32 bits.
bool ParseArc(const char*& p, UINT* arc) {
    uint64_t value = 0;
    const char* start = p;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + static_cast<uint64_t>(*p - '0');
        if (value > 0xFFFFFFFFull) return false;
        ++p;
    }
    if (p == start) return false;
    *arc = static_cast<UINT>(value);
    return true;
}

bool ParseOidText(const char* text, Arcs* out) {
    if (strnlen(text, SNMP_MAX_OID_TEXT + 1) > SNMP_MAX_OID_TEXT) return false;
    const char* p = text;
    if (*p == '.') ++p;
    for (;;) {
        if (out->count == SNMP_MAX_OID_LEN) return false;
        if (!ParseArc(p, &out->ids[out->count])) return false;
        ++out->count;
        if (*p == '\0') return true;
        if (*p != '.') return false;
        ++p;  // a dot must be followed by another arc
    }
}

}  // namespace

extern "C" {

SNMPAPI SnmpUtilOidCpy(AsnObjectIdentifier* dst, const AsnObjectIdentifier* src) {
    if (!dst) return SNMPAPI_ERROR;
    Clear(dst);
    if (!src || src->idLength == 0) return src ? SNMPAPI_NOERROR : SNMPAPI_ERROR;
    if (!src->ids || src->idLength > SNMP_MAX_OID_LEN) return SNMPAPI_ERROR;
    auto* ids = static_cast<UINT*>(SnmpUtilMemAlloc(src->idLength * sizeof(UINT)));
    if (!ids) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return SNMPAPI_ERROR;
    }
    memcpy(ids, src->ids, src->idLength * sizeof(UINT));
    dst->ids = ids;
    dst->idLength = src->idLength;
    return SNMPAPI_NOERROR;
}

SNMPAPI SnmpUtilOidAppend(AsnObjectIdentifier* dst, const AsnObjectIdentifier* src) {
    if (!dst || !src) return SNMPAPI_ERROR;
    if (src->idLength == 0) return SNMPAPI_NOERROR;
    if (!src->ids || (dst->idLength && !dst->ids)) return SNMPAPI_ERROR;
    if (dst->idLength > SNMP_MAX_OID_LEN || src->idLength > SNMP_MAX_OID_LEN - dst->idLength)
        return SNMPAPI_ERROR;
    const UINT total = dst->idLength + src->idLength;
    auto* ids = static_cast<UINT*>(SnmpUtilMemReAlloc(dst->ids, total * sizeof(UINT)));
    if (!ids) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return SNMPAPI_ERROR;
    }
    // src may be dst itself: its arcs now live in ids.
    memmove(ids + dst->idLength, src == dst ? ids : src->ids, src->idLength * sizeof(UINT));
    dst->ids = ids;
    dst->idLength = total;
    return SNMPAPI_NOERROR;
}

INT SnmpUtilOidNCmp(const AsnObjectIdentifier* a, const AsnObjectIdentifier* b, UINT n) {
    const UINT la = a->idLength < n ? a->idLength : n;
    const UINT lb = b->idLength < n ? b->idLength : n;
    for (UINT i = 0; i < la && i < lb; ++i)
        if (a->ids[i] != b->ids[i]) return a->ids[i] < b->ids[i] ? -1 : 1;
    return la == lb ? 0 : (la < lb ? -1 : 1);
}

INT SnmpUtilOidCmp(const AsnObjectIdentifier* a, const AsnObjectIdentifier* b) {
    const UINT longest = a->idLength > b->idLength ? a->idLength : b->idLength;
    return SnmpUtilOidNCmp(a, b, longest);
}

void SnmpUtilOidFree(AsnObjectIdentifier* oid) {
    if (!oid) return;
    SnmpUtilMemFree(oid->ids);
    Clear(oid);
}

LPSTR SnmpUtilOidToA(const AsnObjectIdentifier* oid) {
    // Room for the longest OID the utilities build: 128 arcs of 10 digits.
    static thread_local char text[SNMP_MAX_OID_LEN * 11 + 4];
    if (!oid || oid->idLength == 0 || !oid->ids) {
        snprintf(text, sizeof text, "<null oid>");
        return text;
    }
    size_t used = 0;
    for (UINT i = 0; i < oid->idLength; ++i) {
        // Keep room for "..." and the terminator.
        const size_t room = sizeof text - 4 - used;
        const int n = snprintf(text + used, room + 1, i ? ".%u" : "%u", oid->ids[i]);
        if (n < 0 || static_cast<size_t>(n) > room) {
            snprintf(text + used, sizeof text - used, "...");
            return text;
        }
        used += static_cast<size_t>(n);
    }
    return text;
}

BOOL SnmpMgrStrToOid(LPCSTR text, AsnObjectIdentifier* oid) {
    if (!oid) return FALSE;
    Clear(oid);
    Arcs arcs;
    if (!text || !ParseOidText(text, &arcs)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const AsnObjectIdentifier parsed{arcs.count, arcs.ids};
    return SnmpUtilOidCpy(oid, &parsed) == SNMPAPI_NOERROR ? TRUE : FALSE;
}

}  // extern "C"

namespace orb {

std::string OidToText(const AsnObjectIdentifier& oid, bool leadingDot) {
    std::string text;
    text.reserve(oid.idLength * 4);
    for (UINT i = 0; i < oid.idLength && oid.ids; ++i) {
        if (i || leadingDot) text += '.';
        text += std::to_string(oid.ids[i]);
    }
    return text;
}

}  // namespace orb
