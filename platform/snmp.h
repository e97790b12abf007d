// The SNMP extension-agent interface: the types, tags and utilities with the
// shapes of the Windows SNMP service's agent API, shared by the SNMP service
// (snmphost) and the extension agents it loads. No SNMP engine is behind this
// header: it only describes values, and the utilities allocate, copy, free,
// compare, print and parse them.
//
// Conventions:
// 1. Memory. Everything an agent hands to the service inside variable
//    bindings (names, octet strings, object identifiers) is allocated with
//    SnmpUtilMemAlloc and released by the service with the Free utilities,
//    and the other way round for what the service passes in. The allocator is
//    the C heap (calloc/free) with no header of its own, so a block allocated
//    in one module may be freed in another.
// 2. The supported view of SnmpExtensionInit and the enterprise of
//    SnmpExtensionTrap stay owned by the agent (agents commonly hand out a
//    static arc array); the service copies them and never frees them.
// 3. An AsnOctetString's stream is freed only when its dynamic flag is TRUE.
// 4. Utilities returning SNMPAPI answer SNMPAPI_NOERROR (1) on success and
//    SNMPAPI_ERROR (0) on failure; on failure the destination is left empty
//    (zero length, null pointer), never half-filled.
// 5. No OID has more than SNMP_MAX_OID_LEN arcs: the utilities refuse to
//    build a longer one.
#pragma once

#include <string>

#include "platform/sync.h"
#include "platform/win32.h"

// The trap event an agent hands to the service. On Windows an event HANDLE;
// here the platform's event object.
#ifndef ORB_HANDLE_DEFINED
#define ORB_HANDLE_DEFINED
typedef orb::Event* HANDLE;
#endif

typedef int INT;
typedef INT SNMPAPI;
#define SNMPAPI_NOERROR 1
#define SNMPAPI_ERROR 0

// Most arcs an OID may have (the SNMP protocol limit).
#define SNMP_MAX_OID_LEN 128

// ---------------------------------------------------------------- value types
typedef int32_t AsnInteger32;
typedef uint32_t AsnUnsigned32;
typedef uint32_t AsnCounter32;
typedef uint32_t AsnGauge32;
typedef uint32_t AsnTimeticks;
typedef struct {
    uint64_t QuadPart;
} AsnCounter64;

typedef struct {
    BYTE* stream;  // the bytes, not terminated
    UINT length;   // number of bytes in stream
    BOOL dynamic;  // TRUE: stream came from SnmpUtilMemAlloc and is freed with it
} AsnOctetString;

typedef struct {
    UINT idLength;  // number of arcs
    UINT* ids;      // the arcs (SnmpUtilMemAlloc), null when idLength is 0
} AsnObjectIdentifier;

typedef AsnOctetString AsnBits;
typedef AsnOctetString AsnSequence;
typedef AsnOctetString AsnIPAddress;
typedef AsnOctetString AsnNetworkAddress;
typedef AsnOctetString AsnDisplayString;
typedef AsnOctetString AsnOpaque;

typedef struct {
    BYTE asnType;  // one of the ASN_* tags below
    union {
        AsnInteger32 number;
        AsnUnsigned32 unsigned32;
        AsnCounter64 counter64;
        AsnOctetString string;
        AsnBits bits;
        AsnObjectIdentifier object;
        AsnSequence sequence;
        AsnIPAddress address;
        AsnCounter32 counter;
        AsnGauge32 gauge;
        AsnTimeticks ticks;
        AsnOpaque arbitrary;
    } asnValue;
} AsnAny;

typedef AsnObjectIdentifier AsnObjectName;
typedef AsnAny AsnObjectSyntax;

typedef struct {
    AsnObjectName name;
    AsnObjectSyntax value;
} SnmpVarBind;

typedef struct {
    SnmpVarBind* list;  // len bindings (SnmpUtilMemAlloc), null when len is 0
    UINT len;
} SnmpVarBindList;

// ------------------------------------------------------------------ ASN tags
#define ASN_INTEGER 0x02
#define ASN_INTEGER32 ASN_INTEGER
#define ASN_BITS 0x03
#define ASN_OCTETSTRING 0x04
#define ASN_NULL 0x05
#define ASN_OBJECTIDENTIFIER 0x06
#define ASN_SEQUENCE 0x30
#define ASN_IPADDRESS 0x40
#define ASN_COUNTER32 0x41
#define ASN_GAUGE32 0x42
#define ASN_TIMETICKS 0x43
#define ASN_OPAQUE 0x44
#define ASN_COUNTER64 0x46
#define ASN_UNSIGNED32 0x47
// SNMPv2 exceptions, put in a binding's value type instead of a value.
#define SNMP_EXCEPTION_NOSUCHOBJECT 0x80
#define SNMP_EXCEPTION_NOSUCHINSTANCE 0x81
#define SNMP_EXCEPTION_ENDOFMIBVIEW 0x82

// ------------------------------------------------------------------ PDU tags
#define SNMP_PDU_GET 0xA0
#define SNMP_PDU_GETNEXT 0xA1
#define SNMP_PDU_RESPONSE 0xA2
#define SNMP_PDU_SET 0xA3
#define SNMP_PDU_V1TRAP 0xA4
#define SNMP_PDU_GETBULK 0xA5

// ------------------------------------------------------------- error status
#define SNMP_ERRORSTATUS_NOERROR 0
#define SNMP_ERRORSTATUS_TOOBIG 1
#define SNMP_ERRORSTATUS_NOSUCHNAME 2
#define SNMP_ERRORSTATUS_BADVALUE 3
#define SNMP_ERRORSTATUS_READONLY 4
#define SNMP_ERRORSTATUS_GENERR 5
#define SNMP_ERRORSTATUS_NOACCESS 6
#define SNMP_ERRORSTATUS_WRONGTYPE 7
#define SNMP_ERRORSTATUS_WRONGLENGTH 8
#define SNMP_ERRORSTATUS_WRONGENCODING 9
#define SNMP_ERRORSTATUS_WRONGVALUE 10
#define SNMP_ERRORSTATUS_NOCREATION 11
#define SNMP_ERRORSTATUS_INCONSISTENTVALUE 12
#define SNMP_ERRORSTATUS_RESOURCEUNAVAILABLE 13
#define SNMP_ERRORSTATUS_COMMITFAILED 14
#define SNMP_ERRORSTATUS_UNDOFAILED 15
#define SNMP_ERRORSTATUS_AUTHORIZATIONERROR 16
#define SNMP_ERRORSTATUS_NOTWRITABLE 17
#define SNMP_ERRORSTATUS_INCONSISTENTNAME 18

// ------------------------------------------------------------- generic traps
#define SNMP_GENERICTRAP_COLDSTART 0
#define SNMP_GENERICTRAP_WARMSTART 1
#define SNMP_GENERICTRAP_LINKDOWN 2
#define SNMP_GENERICTRAP_LINKUP 3
#define SNMP_GENERICTRAP_AUTHFAILURE 4
#define SNMP_GENERICTRAP_EGPNEIGHLOSS 5
#define SNMP_GENERICTRAP_ENTERSPECIFIC 6

// ------------------------------------------- the extension agent's entry points
// Exported by name from the agent library ("SnmpExtensionInit", ...).
typedef BOOL (*PFNSNMPEXTENSIONINIT)(DWORD timeZeroReference, HANDLE* trapEvent,
                                     AsnObjectIdentifier* view);
typedef BOOL (*PFNSNMPEXTENSIONQUERY)(BYTE requestType, SnmpVarBindList* bindings,
                                      AsnInteger32* errorStatus, AsnInteger32* errorIndex);
typedef BOOL (*PFNSNMPEXTENSIONTRAP)(AsnObjectIdentifier* enterprise, AsnInteger32* genericTrap,
                                     AsnInteger32* specificTrap, AsnTimeticks* timeStamp,
                                     SnmpVarBindList* bindings);

extern "C" {

// What an agent library defines (declared here so its definitions are checked).
BOOL SnmpExtensionInit(DWORD timeZeroReference, HANDLE* trapEvent, AsnObjectIdentifier* view);
BOOL SnmpExtensionQuery(BYTE requestType, SnmpVarBindList* bindings, AsnInteger32* errorStatus,
                        AsnInteger32* errorIndex);
BOOL SnmpExtensionTrap(AsnObjectIdentifier* enterprise, AsnInteger32* genericTrap,
                       AsnInteger32* specificTrap, AsnTimeticks* timeStamp,
                       SnmpVarBindList* bindings);

// ------------------------------------------------------------------- memory
// Zero-filled block; null when out of memory. A request of 0 bytes still
// gives a block that must be freed.
LPVOID SnmpUtilMemAlloc(UINT bytes);
// Null is allowed.
void SnmpUtilMemFree(LPVOID block);
// As realloc; the grown part is zero-filled only when block is null.
// Null on failure, the old block then stays valid.
LPVOID SnmpUtilMemReAlloc(LPVOID block, UINT bytes);

// ------------------------------------------------------ object identifiers
SNMPAPI SnmpUtilOidCpy(AsnObjectIdentifier* dst, const AsnObjectIdentifier* src);
// dst gains src's arcs at its end; dst->ids must be from SnmpUtilMemAlloc (or
// null). Fails, leaving dst unchanged, when the result would exceed
// SNMP_MAX_OID_LEN arcs or memory runs out.
SNMPAPI SnmpUtilOidAppend(AsnObjectIdentifier* dst, const AsnObjectIdentifier* src);
// Lexicographic order of arcs, a prefix before its extensions: <0, 0, >0.
INT SnmpUtilOidCmp(const AsnObjectIdentifier* a, const AsnObjectIdentifier* b);
// The same over at most the first n arcs of each.
INT SnmpUtilOidNCmp(const AsnObjectIdentifier* a, const AsnObjectIdentifier* b, UINT n);
// Frees the arcs and empties the OID (not the struct itself).
void SnmpUtilOidFree(AsnObjectIdentifier* oid);
// Dotted text without a leading dot ("1.3.6.1"), in a per-thread buffer that
// the next call on the same thread overwrites. An empty OID gives "<null oid>".
// An OID too long for the buffer ends in "...".
LPSTR SnmpUtilOidToA(const AsnObjectIdentifier* oid);
// Parses dotted numeric text ("1.3.6.1" or ".1.3.6.1") into a new OID
// (SnmpUtilMemAlloc). Refuses (FALSE, oid emptied) empty text, empty arcs
// ("1..3", trailing dot), anything but digits and dots, arcs above
// 4294967295, more than SNMP_MAX_OID_LEN arcs and texts longer than
// SNMP_MAX_OID_TEXT characters. Reads no further than the terminator.
#define SNMP_MAX_OID_TEXT 1408
BOOL SnmpMgrStrToOid(LPCSTR text, AsnObjectIdentifier* oid);

// ---------------------------------------------------------------- values
SNMPAPI SnmpUtilOctetsCpy(AsnOctetString* dst, const AsnOctetString* src);
void SnmpUtilOctetsFree(AsnOctetString* octets);
// Deep copy of any value; octet-string-like and OID values get new memory.
SNMPAPI SnmpUtilAsnAnyCpy(AsnAny* dst, const AsnAny* src);
// Frees what the value owns and leaves it ASN_NULL.
void SnmpUtilAsnAnyFree(AsnAny* any);

// ------------------------------------------------------------- bindings
SNMPAPI SnmpUtilVarBindCpy(SnmpVarBind* dst, const SnmpVarBind* src);
void SnmpUtilVarBindFree(SnmpVarBind* binding);
SNMPAPI SnmpUtilVarBindListCpy(SnmpVarBindList* dst, const SnmpVarBindList* src);
// Frees every binding and the array, and empties the list.
void SnmpUtilVarBindListFree(SnmpVarBindList* list);

}  // extern "C"

namespace orb {

// The full dotted text of an OID, with a leading dot when asked (".1.3.6.1"),
// never truncated. An empty OID gives "".
std::string OidToText(const AsnObjectIdentifier& oid, bool leadingDot = true);

}  // namespace orb
