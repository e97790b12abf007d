// Routing each binding of a request to the handler of its object.
#pragma once

#include "platform/snmp.h"

// The error status for one binding. A GETNEXT moves the binding's name on to
// the next registered object and is then answered as a GET of it.
UINT ResolveVarBind(SnmpVarBind* binding, BYTE requestType);
