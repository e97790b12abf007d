// SNMPv3 in the standalone engine: the USM users of the registry with the
// access they are given, and the engine ID kept in the machine root so that
// the keys stations localized and the engine IDs they cached stay valid
// across restarts. The engine derives and checks all keys itself.
#pragma once

#include <string>
#include <vector>

#include "snmphost/config.h"

namespace snmphost {

// Before the engine reads its configuration: puts back the kept engine ID
// (*engineIdKept tells whether there was one) and returns the configuration
// lines (the previous boot count, the users' access) to hand to the engine.
// Nothing happens without users.
std::vector<std::string> PrepareUsm(const UsmConfig& config, bool* engineIdKept);
// After the engine is configured: creates the users, keys localized to the
// engine ID, and keeps the engine ID (when new) and the boot count for the
// next start. Problems are logged; a user that could not be created is left out.
void CreateUsmUsers(const UsmConfig& config, bool engineIdKept);

}  // namespace snmphost
