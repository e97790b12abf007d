// The repository client's own calls for the repository test (programs that
// link the client use this; tests plug in their own RepositoryClient).
#pragma once

#include "framework/nwomapi/nwomapi.h"
#include "publisher/app/repository_name.h"

inline RepositoryClient FrameworkRepositoryClient() {
    return {ORBOM_Kernel_Start,      ORBOM_Kernel_Stop,         ORBOM_Repository_Connect,
            ORBOM_Repository_Disconnect, ORBOM_Repository_EnumBegin, ORBOM_Repository_EnumNext};
}
