// Importing a class-definition file: the one step quill and "orbcli import"
// share. The repository parses and applies the whole text in one
// transaction, so a refused file leaves the repository as it was.
#pragma once

#include <string>

#include "framework/orbcli/session.h"

namespace orbcli {

// The file's whole text; ToolError (ORBOM_RC_INVALID_MAP_FILE) when it
// cannot be read.
std::string ReadClassFile(const std::string& path);

// Imports text read from path into the session's connected repository.
// Throws ToolError naming the file and, for a malformed file, the line at
// fault.
void ImportText(Session& session, const std::string& path, const std::string& text);

inline void ImportFile(Session& session, const std::string& path) {
    ImportText(session, path, ReadClassFile(path));
}

}  // namespace orbcli
