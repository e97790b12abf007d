// A repository client that records what the repository test asked of it.
#pragma once

#include <string>
#include <vector>

#include "publisher/app/repository_name.h"

namespace fakeclient {

struct ClientState {
    ORBOM_RC startResult = 0;
    ORBOM_RC connectResult = 0;
    ORBOM_RC enumResult = 0;
    std::string defaultName = "default";
    std::string connectedTo;
    int connects = 0;
    int kernelsOpen = 0;
    int connectionsOpen = 0;
};

ClientState& State();
void Reset();
// Messages land in *messages as "text<N>:<code>".
ProbeContext Context(std::vector<std::string>* messages);

}  // namespace fakeclient
