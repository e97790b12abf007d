// Helpers shared by the exported functions: no exception crosses the C
// boundary, and copies into callers' buffers are bounded by their size.
#pragma once

#include <cstring>
#include <exception>
#include <new>
#include <string>

#include "framework/nwomapi/nwomapi.h"

namespace orbom {

template <class F>
ORBOM_RC Guarded(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return ORBOM_RC_OUT_OF_MEMORY;
    } catch (...) {
        return ORBOM_RC_SYSTEM_ERROR;
    }
}

// Copies text with its terminator into buffer; 26 (and nothing copied) when
// it does not fit.
inline ORBOM_RC CopyName(const std::string& text, char* buffer, uint32_t size) {
    if (!buffer) return ORBOM_RC_INVALID_POINTER_PARAMETER;
    if (text.size() + 1 > size) return ORBOM_RC_BUFFER_TOO_SMALL;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return ORBOM_RC_SUCCESS;
}

// 11 for a null name, 31 for an empty one, else 0.
inline ORBOM_RC CheckClassName(const char* cls) {
    if (!cls) return ORBOM_RC_INVALID_POINTER_PARAMETER;
    return *cls ? ORBOM_RC_SUCCESS : ORBOM_RC_MISSING_CLASS_NAME;
}

}  // namespace orbom
