// The repository's integrity as the backup integration leaves it: every
// link's ends exist and no link is there twice; every machine has at most
// one per-machine container, every container hangs under one machine and
// holds at most one backup object of each class; every
// backup object hangs under exactly one container and has its "address",
// "DomainName" and "ServerName" written, and is in its product's business
// process view (which is never left empty while the product has objects).
#pragma once

#include <string>
#include <vector>

#include "framework/orbcli/session.h"

namespace orbcli {

struct CheckReport {
    // One line per problem found, in a stable order; empty when there is none.
    std::vector<std::string> problems;
    // What is sound but worth knowing: a container a deletion emptied, which
    // the next pass that publishes a server of its machine uses again.
    std::vector<std::string> notes;
};

CheckReport CheckRepository(Session& session);

}  // namespace orbcli
