#include "snmpagent/oidtext.h"

#include <cstdio>

bool renderOidText(const AsnObjectIdentifier& oid, char* text, size_t size) {
    if (size == 0) return false;
    if (oid.idLength && !oid.ids) {
        text[0] = '\0';
        return false;
    }
    text[0] = '\0';
    size_t used = 0;
    for (UINT i = 0; i < oid.idLength; ++i) {
        // Arcs are unsigned: a huge arc must not turn into a negative number.
        const int n = snprintf(text + used, size - used, ".%u", oid.ids[i]);
        if (n < 0 || static_cast<size_t>(n) >= size - used) {
            text[0] = '\0';
            return false;
        }
        used += static_cast<size_t>(n);
    }
    return true;
}

bool oidTextFits(const AsnObjectIdentifier& oid, size_t size) {
    if (size == 0 || (oid.idLength && !oid.ids)) return false;
    size_t length = 0;
    for (UINT i = 0; i < oid.idLength; ++i) {
        length += 2;  // the dot and the first digit
        for (UINT arc = oid.ids[i]; arc >= 10; arc /= 10) ++length;
        if (length >= size) return false;
    }
    return true;
}
