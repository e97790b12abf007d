#include "snmpagent/values.h"

#include <cstdio>
#include <cstring>

UINT putInteger(SnmpVarBind* binding, LONG number) {
    binding->value.asnType = ASN_INTEGER;
    binding->value.asnValue.number = number;
    return SNMP_ERRORSTATUS_NOERROR;
}

UINT putText(SnmpVarBind* binding, const char* text) {
    const size_t length = strlen(text);
    // One byte at least: an empty text still gets a block the service can free.
    auto* bytes = static_cast<BYTE*>(SnmpUtilMemAlloc(static_cast<UINT>(length ? length : 1)));
    if (!bytes) return SNMP_ERRORSTATUS_GENERR;
    memcpy(bytes, text, length);
    binding->value.asnType = ASN_OCTETSTRING;
    binding->value.asnValue.string.stream = bytes;
    binding->value.asnValue.string.length = static_cast<UINT>(length);
    binding->value.asnValue.string.dynamic = TRUE;
    return SNMP_ERRORSTATUS_NOERROR;
}

void formatDosDateTime(DWORD dosDateTime, char* buffer, size_t size) {
    const unsigned seconds = 2 * (dosDateTime & 0x1F);
    const unsigned minutes = (dosDateTime >> 5) & 0x3F;
    const unsigned hours = (dosDateTime >> 11) & 0x1F;
    const unsigned day = (dosDateTime >> 16) & 0x1F;
    const unsigned month = (dosDateTime >> 21) & 0x0F;
    const unsigned year = 1980 + (dosDateTime >> 25);
    snprintf(buffer, size, "%u/%u/%02u %u:%02u:%02u", month, day, year % 100, hours, minutes,
             seconds);
}

UINT putTimestamp(SnmpVarBind* binding, DWORD dosDateTime) {
    char text[128];
    formatDosDateTime(dosDateTime, text, sizeof text);
    return putText(binding, text);
}

UINT takeText(const SnmpVarBind* binding, char* target, size_t targetSize) {
    const AsnOctetString& value = binding->value.asnValue.string;
    if (binding->value.asnType != ASN_OCTETSTRING) return SNMP_ERRORSTATUS_BADVALUE;
    if (value.length == 0 || !value.stream) return SNMP_ERRORSTATUS_GENERR;
    if (value.length >= targetSize) return SNMP_ERRORSTATUS_BADVALUE;
    memcpy(target, value.stream, value.length);
    target[value.length] = '\0';
    return SNMP_ERRORSTATUS_NOERROR;
}

UINT takeInteger(const SnmpVarBind* binding, LONG* target) {
    if (binding->value.asnType != ASN_INTEGER) return SNMP_ERRORSTATUS_BADVALUE;
    *target = binding->value.asnValue.number;
    return SNMP_ERRORSTATUS_NOERROR;
}
