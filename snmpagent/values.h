// Putting values into a binding and taking them out of a SET. Every handler
// goes through these, so the service always receives memory it can free and
// a SET never writes past its target.
#pragma once

#include <cstddef>

#include "platform/snmp.h"

// INTEGER with the given number; 0.
UINT putInteger(SnmpVarBind* binding, LONG number);
// OCTET STRING with the text's bytes (no terminator) in SnmpUtilMemAlloc
// memory marked dynamic; 5 when memory runs out.
UINT putText(SnmpVarBind* binding, const char* text);
// The text of an MS-DOS date and time (date in the high 16 bits), as
// "4/29/08 9:05:07": month/day/two-digit year, then the 24-hour time.
UINT putTimestamp(SnmpVarBind* binding, DWORD dosDateTime);
// Formats the above into buffer (128 bytes are always enough).
void formatDosDateTime(DWORD dosDateTime, char* buffer, size_t size);

// The SET value as text into target, terminated: 3 (badValue) when it is not
// an OCTET STRING or does not fit the target with its terminator; 5 when it
// is empty.
UINT takeText(const SnmpVarBind* binding, char* target, size_t targetSize);
// The SET value as a number: 3 (badValue) when it is not INTEGER.
UINT takeInteger(const SnmpVarBind* binding, LONG* target);
