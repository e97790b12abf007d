// Claiming a program instance by its title for the life of the process, so
// that of two starts at the same moment exactly one goes on.
#pragma once

#include <string>

namespace orb {

enum class InstanceClaimResult {
    Claimed,        // this process holds it now (or held it already)
    HeldElsewhere,  // another process holds it
    Failed,         // the lock could not be taken (an empty title, no lock file)
};

// Claims the instance named by title in one atomic step: an exclusive lock
// on a file of the machine's temporary directory, released only when the
// process ends, a crash included. While it is held, FindWindowA(title) finds
// this process and the process's dialog of that title answers its requests.
InstanceClaimResult ClaimInstance(const std::string& title);

}  // namespace orb
