#include "framework/nwomapi/names.h"

#include <strings.h>

#include <cctype>
#include <cstring>

#include "framework/nwomapi/nwomapi.h"

namespace orbom {

bool IsValidIdentifier(const std::string& name) {
    if (name.empty() || name.size() > ORBOM_MAX_CLASS_NAME) return false;
    for (unsigned char c : name) {
        if (!std::isalnum(c) && c != '_') return false;
    }
    return true;
}

bool IsValidRepositoryName(const std::string& name) {
    if (name.empty() || name.size() > ORBOM_MAX_REPOSITORY_NAME || name[0] == '.') return false;
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7f || std::strchr("/\\:*?\"<>|", c)) return false;
    }
    return true;
}

// Prefixes keep class tables apart from the catalog's own tables and
// property columns apart from the row id, whatever the names are.
std::string TableName(const std::string& cls) { return "\"o_" + cls + "\""; }
std::string ColumnName(const std::string& property) { return "\"p_" + property + "\""; }

bool SameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

}  // namespace orbom
