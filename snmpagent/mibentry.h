// MibEntry: the static description of one MIB object and its handler. Rows
// are never freed, so an entry handed out under the registry lock stays
// valid after the lock is released.
#pragma once

#include "platform/snmp.h"

// Access of an object.
inline constexpr DWORD kMibReadOnly = 0;
inline constexpr DWORD kMibWriteOnly = 1;
inline constexpr DWORD kMibReadWrite = 2;

struct MibEntry;

// Handles one binding of a request (SNMP_PDU_GET or SNMP_PDU_SET; a GETNEXT
// arrives as GET once its name was moved on); returns an SNMPv1 error status.
typedef UINT (*MibFunction)(BYTE requestType, const MibEntry* entry, SnmpVarBind* binding);

struct MibEntry {
    const char* suffix;       // relative to the agent root, with a leading dot
    BYTE type;                // ASN_INTEGER or ASN_OCTETSTRING (Counter, Gauge allowed)
    DWORD access;             // kMibReadOnly, kMibWriteOnly, kMibReadWrite
    MibFunction mibFunction;
    LONG number;              // value of an INTEGER object
    const char* text;         // value of an OCTET STRING object, or its label
    const char* services;     // comma-separated service names (the two switches)
};
