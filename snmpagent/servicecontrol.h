// Stopping and starting the backup services named by a switch's list.
#pragma once

#include "platform/snmp.h"

// Starts (start) or stops every service of the comma-separated list, one
// after another; the SNMP error status of the switch's SET.
UINT controlServiceList(const char* services, bool start);
