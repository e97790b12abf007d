// Keeps exceptions inside the library: every export runs its body through Guarded.
#pragma once

#include "backup/ebqry/ebqry.h"

namespace ebqry {

template <typename Body>
LONG Guarded(Body body) noexcept {
    try {
        return body();
    } catch (...) {  // out of memory, or a fault of ours: never the caller's crash
        return VLV_E_INTERNAL;
    }
}

}  // namespace ebqry
