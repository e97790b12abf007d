#include "framework/orbcli/import_file.h"

#include <cstdint>
#include <fstream>
#include <limits>
#include <sstream>

namespace orbcli {
std::string ReadClassFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ToolError(ORBOM_RC_INVALID_MAP_FILE, "cannot read \"" + path + "\"");
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) throw ToolError(ORBOM_RC_INVALID_MAP_FILE, "cannot read \"" + path + "\"");
    return text.str();
}

void ImportText(Session& session, const std::string& path, const std::string& text) {
    // The client takes a 32-bit length; a definition file is never near it.
    if (text.size() > std::numeric_limits<uint32_t>::max())
        throw ToolError(ORBOM_RC_INVALID_MAP_FILE, "\"" + path + "\" is too large");
    uint32_t line = 0;
    char message[512] = "";
    const ORBOM_RC rc =
        ORBOM_Class_Import(session.connection(), text.data(), static_cast<uint32_t>(text.size()),
                           &line, message, sizeof message);
    if (rc == ORBOM_RC_SUCCESS) return;
    std::string where = path;
    if (line != 0) where += " line " + std::to_string(line);
    throw ToolError(rc, where + ": " + (message[0] ? message : "import refused"));
}

}  // namespace orbcli
