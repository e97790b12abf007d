// Rendering an OID as the agent's dotted text (".1.3.6.1..."), bounded by
// the caller's buffer: requests are rendered in 1024 bytes, tree texts in 256.
#pragma once

#include <cstddef>

#include "platform/snmp.h"

// Request names are rendered in this many bytes.
inline constexpr size_t kRequestOidTextSize = 1024;

// ".%u" per arc into text; false (text emptied) when it does not fit whole.
bool renderOidText(const AsnObjectIdentifier& oid, char* text, size_t size);
// What renderOidText would answer, without rendering: the request path
// needs the text only for its trace lines.
bool oidTextFits(const AsnObjectIdentifier& oid, size_t size);
