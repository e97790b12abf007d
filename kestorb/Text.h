// Bounded text copies into the fixed name fields of the library.
#pragma once

#include <cstddef>
#include <cstring>

namespace kest {

// Copies at most size - 1 characters of src (none when null) and terminates.
inline void CopyText(char* dst, size_t size, const char* src) {
    if (size == 0) return;
    size_t n = src == nullptr ? 0 : strnlen(src, size - 1);
    std::memcpy(dst, src == nullptr ? "" : src, n);
    dst[n] = '\0';
}

template <size_t N>
void CopyText(char (&dst)[N], const char* src) {
    CopyText(dst, N, src);
}

inline bool IsEmpty(const char* text) { return text == nullptr || text[0] == '\0'; }

}  // namespace kest
