#include "framework/nwomapi/repositories.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "framework/nwomapi/names.h"
#include "platform/machine.h"
#include "platform/pathsearch.h"
#include "platform/registry.h"

namespace orbom {

namespace {

constexpr std::string_view kSuffix = ".orb.db";

std::string RegistryDefault(const std::vector<std::string>& existing) {
    for (const char* value : {"RepositoryName", "DefaultRepository"}) {
        std::string name;
        if (orb::RegGetString(kFrameworkApiKey, value, &name) != ERROR_SUCCESS) continue;
        if (std::find(existing.begin(), existing.end(), name) != existing.end()) return name;
    }
    return "";
}

}  // namespace

std::string RepositoryPath(const std::string& name) {
    const std::string exact = orb::MachinePath("orbmap/" + name + std::string(kSuffix));
    if (orb::IsRegularFile(exact)) return exact;
    // Repository names match without letter case, as the framework's do on
    // Windows: a publisher whose command line was lower-cased still finds
    // "SALES" under "sales".
    const std::string found = orb::FindInDirectory(
        orb::MachinePath("orbmap"), {name + std::string(kSuffix)}, orb::IsRegularFile);
    return found.empty() ? exact : found;
}

std::vector<std::string> ListRepositories(bool defaultFirst) {
    std::vector<std::string> names;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(orb::MachineRoot()) / "orbmap";
    for (auto it = std::filesystem::directory_iterator(folder, ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const std::string file = it->path().filename().string();
        if (file.size() <= kSuffix.size() || !file.ends_with(kSuffix)) continue;
        const std::string name = file.substr(0, file.size() - kSuffix.size());
        if (IsValidRepositoryName(name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    if (defaultFirst) {
        const std::string first = RegistryDefault(names);
        if (!first.empty()) {
            names.erase(std::find(names.begin(), names.end(), first));
            names.insert(names.begin(), first);
        }
    }
    return names;
}

}  // namespace orbom
