#include "snmpagent/searchpath.h"

#include <cstring>
#include <string>

#include "platform/environment.h"
#include "snmpagent/installpath.h"
#include "snmpagent/trace.h"

namespace {

std::string currentPath() {
    const DWORD needed = GetEnvironmentVariableA("PATH", nullptr, 0);
    if (needed == 0) return "";
    std::string path(needed, '\0');
    if (GetEnvironmentVariableA("PATH", path.data(), needed) >= needed) return "";
    path.resize(strlen(path.c_str()));
    return path;
}

}  // namespace

// The new PATH is built without a fixed buffer: a long PATH must keep every
// directory it had, or programs started later by name would not be found.
void extendSearchPath() {
    const std::string oldPath = currentPath();
    agentTrace("PATH(1)=%s\n", oldPath.c_str());
    const std::string newPath = oldPath + orb::kPathListSeparator + getInstallPath();
    SetEnvironmentVariableA("PATH", newPath.c_str());
    agentTrace("PATH(2)=%s\n", newPath.c_str());
}
