#include "framework/quill/default_name.h"

#include "platform/machine.h"
#include "platform/registry.h"

namespace quill {
namespace {

constexpr const char* kApiKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Orbmap/API";
constexpr const char* kVersionKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex\\CurrentVersion";

std::string Setting(const char* key, const char* name) {
    std::string value;
    return orb::RegGetString(key, name, &value) == ERROR_SUCCESS ? value : "";
}

}  // namespace

std::string DefaultRepositoryName() {
    for (const char* name : {"RepositoryName", "DefaultRepository"}) {
        const std::string value = Setting(kApiKey, name);
        if (!value.empty()) return value;
    }
    std::string computer = orb::ComputerName();
    if (Setting(kVersionKey, "InstallType").find("025") != std::string::npos) computer += "_ORBDB";
    return computer;
}

}  // namespace quill
