#include "publisher/app/repository_name.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sstream>

#include "platform/machine.h"
#include "platform/registry.h"

namespace {

const char* const kApiKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Orbmap/API";
const char* const kVersionKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex\\CurrentVersion";
constexpr size_t kNameBuffer = 32;      // the registry values' buffers
constexpr size_t kMaxRepository = 127;  // "/r %s" reads into 128 bytes

// A registry text as a fixed buffer of `size` bytes would hold it.
bool ReadBounded(const char* key, const char* name, size_t size, std::string* out) {
    std::string value;
    if (orb::RegGetString(key, name, &value) != ERROR_SUCCESS) return false;
    if (value.size() >= size) return false;  // would not fit: the read fails
    *out = value;
    return true;
}

}  // namespace

PublisherCommandLine ParsePublisherCommandLine(const std::string& line) {
    std::string lower(line);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    PublisherCommandLine result;
    result.debug = lower.find("/d") != std::string::npos;
    const size_t at = lower.find("/r");
    if (at == std::string::npos) return result;
    result.repositoryGiven = true;
    std::istringstream rest(lower.substr(at + 2));
    std::string word;
    if (rest >> word) result.repository = word.substr(0, kMaxRepository);
    return result;
}

bool IsFramework025Installed(const PublisherLogFn& log) {
    std::string type;
    if (!ReadBounded(kVersionKey, "InstallType", 512, &type)) return false;
    if (type.find("025") == std::string::npos) return false;
    if (log) log("Orb Framework 025 Installed");
    return true;
}

std::string ComputerRepositoryName(size_t maxLength, const PublisherLogFn& log) {
    std::string name = orb::ComputerName().substr(0, maxLength);
    if (!name.empty() && IsFramework025Installed(log)) name += "_ORBDB";
    return name;
}

std::string GetRepositoryName(const PublisherLogFn& log) {
    std::string name;
    if (!ReadBounded(kApiKey, "RepositoryName", kNameBuffer, &name))
        ReadBounded(kApiKey, "DefaultRepository", kNameBuffer, &name);
    if (name.empty()) name = ComputerRepositoryName(kNameBuffer - 1, log);
    if (log) log("GetRepositoryName - <" + name + ">");
    return name;
}
