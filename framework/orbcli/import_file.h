// Importing a class-definition file: the one step quill and "orbcli import"
// share. The repository parses and applies the whole text in one
// transaction, so a refused file leaves the repository as it was.
#pragma once

#include <string>

#include "framework/orbcli/session.h"

namespace orbcli {

// Imports the file into the session's connected repository. Throws
// ToolError naming the file and, for a malformed file, the line at fault.
void ImportFile(Session& session, const std::string& path);

}  // namespace orbcli
