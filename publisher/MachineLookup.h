// The pieces of finding a machine object that the publisher and the console
// launcher share: machine records that never hold a cut name, lower-case
// host names, and the name a host's first address resolves back to.
#pragma once

#include <cstdint>
#include <string>

#include "kestorb/KestOrb.h"

namespace publisher {

// The longest class or machine name a KestMachineRecord holds (47).
inline constexpr size_t kMaxMachineText = sizeof(KestMachineRecord::machineName) - 1;

// A record for (cls, name), size 100 and every other byte zero. false, and
// *out untouched, when either text is too long for its field: cut, it could
// name another machine.
bool MakeMachineRecord(const std::string& cls, const std::string& name, KestMachineRecord* out);

std::string LowerCase(std::string text);

// Whether a search through machine classes and name forms goes on after an
// attempt answered rc: only when that machine was not there (16) or the
// repository has no such class (10). Any other failure (a lost connection,
// a full disk, several machines of one name) is the search's answer, never
// hidden behind the "no match" of a later attempt.
inline bool MachineWalkGoesOn(int32_t rc) {
    return rc == ORBOM_RC_NO_MATCH || rc == ORBOM_RC_INVALID_CLASS;
}

// Looks `name` up, takes its first address and looks that up again: the
// name that comes back, or empty when either look-up fails.
std::string ReverseResolvedName(const std::string& name);

}  // namespace publisher
