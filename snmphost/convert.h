// Variable bindings between the engine's form (netsnmp_variable_list) and
// the extension-agent form (SnmpVarBind).
#pragma once

#include <vector>

#include "snmphost/netsnmp.h"

namespace snmphost {

// A new OID (SnmpUtilMemAlloc) with the given arcs; false when out of memory
// or an arc does not fit 32 bits.
bool ToAsnName(const oid* name, size_t length, AsnObjectIdentifier* out);
// The engine's value as an agent value (new memory); false when the type
// has no agent form or memory runs out.
bool ToAsnValue(const netsnmp_variable_list* vb, AsnAny* out);
// A binding for the agent: name and value of vb, or name and NULL when
// withValue is false (GET and GETNEXT).
bool ToAsnBinding(const netsnmp_variable_list* vb, bool withValue, SnmpVarBind* out);

// The agent's value into vb (the name is left alone); false when the value
// cannot be sent (unknown type, malformed address).
bool PutAsnValue(const AsnAny& value, netsnmp_variable_list* vb);
// The agent's name as the engine's arcs; empty when longer than the engine allows.
std::vector<oid> FromAsnName(const AsnObjectIdentifier& name);

}  // namespace snmphost
