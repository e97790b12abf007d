// The net-snmp headers, for the files of the service that talk to the engine.
// platform/snmp.h comes first: net-snmp keeps the ASN_* tags already defined
// (same values), whereas the other order redefines them. net-snmp-config.h
// must precede the other net-snmp headers.
#pragma once

// clang-format off
#include "platform/snmp.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>
// clang-format on
