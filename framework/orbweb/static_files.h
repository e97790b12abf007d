// The console's style sheet and refresh script, built into the program from
// framework/orbweb/static/ (the package installs the same files for an
// operator who serves edited copies with --static-dir). Requests name a file
// of this table; a path from a request never reaches the file system.
#pragma once

#include <string>
#include <string_view>

namespace orbweb {

struct StaticFile {
    const char* name;
    const char* type;
    std::string_view content;
};

// The file of that name, or null.
const StaticFile* FindStaticFile(const std::string& name);

}  // namespace orbweb
