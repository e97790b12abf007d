#include "framework/nwomapi/repositories.h"

#include <strings.h>

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
constexpr const char* kDefaultSchema = "public";

std::string RegistryDefault(const std::vector<std::string>& existing) {
    for (const char* value : {"RepositoryName", "DefaultRepository"}) {
        std::string name;
        if (orb::RegGetString(kFrameworkApiKey, value, &name) != ERROR_SUCCESS) continue;
        // As spelt by the repository itself: names match without letter case.
        for (const std::string& e : existing) {
            if (SameIgnoringCase(e, name)) return e;
        }
    }
    return "";
}

std::string Setting(const std::string& key, const char* name) {
    std::string value;
    return orb::RegGetString(key, name, &value) == ERROR_SUCCESS ? value : "";
}

bool Is(const std::string& backend, const char* name) {
    return strcasecmp(backend.c_str(), name) == 0;
}

bool CheckPostgres(const std::string& connection, const std::string& schema, std::string* why) {
    if (connection.empty()) {
        *why = "no \"Connection\" is set for the PostgreSQL repository";
        return false;
    }
    if (!CheckConnectionString(connection, why)) return false;
    if (!IsValidSchemaName(schema)) {
        *why = "the schema \"" + schema + "\" is not a name of letters, digits and '_'";
        return false;
    }
    return true;
}

}  // namespace

bool LocateRepository(const std::string& name, RepositoryPlace* out, std::string* why) {
    const std::string key = std::string(kRepositoriesKey) + "\\" + name;
    const std::string backend = Setting(key, "Backend");
    *out = RepositoryPlace();
    DWORD number = 0;
    if (orb::RegGetDword(key, "ReadCache", &number) == ERROR_SUCCESS) out->readCache = number != 0;
    if (orb::RegGetDword(key, "ReadCacheKB", &number) == ERROR_SUCCESS && number > 0) {
        out->cacheBytes = static_cast<size_t>(number) << 10;
    }
    if (backend.empty() || Is(backend, "sqlite")) {
        out->path = RepositoryPath(name);
        return true;
    }
    if (!Is(backend, "postgresql")) {
        *why = "the repository's \"Backend\" is \"" + backend + "\", not sqlite or postgresql";
        return false;
    }
    out->backend = Backend::Postgres;
    out->target.connection = Setting(key, "Connection");
    out->target.schema = Setting(key, "Schema");
    if (out->target.schema.empty()) out->target.schema = kDefaultSchema;
    const std::string commit = Setting(key, "SynchronousCommit");
    if (!commit.empty()) out->target.synchronousCommit = commit;
    if (!IsValidSynchronousCommit(out->target.synchronousCommit)) {
        *why = "\"SynchronousCommit\" is \"" + commit + "\", not off, on, local, remote_write"
               " or remote_apply";
        return false;
    }
    return CheckPostgres(out->target.connection, out->target.schema, why);
}

bool RegisterRepository(const std::string& name, const std::string& backend,
                        const std::string& connection, const std::string& schema,
                        std::string* why) {
    const std::string key = std::string(kRepositoriesKey) + "\\" + name;
    if (Is(backend, "sqlite")) {
        const LONG rc = orb::RegRemoveKey(key);
        if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return true;
        *why = orb::RegErrorMessage(rc);
        return false;
    }
    if (!Is(backend, "postgresql")) {
        *why = "the backend \"" + backend + "\" is not sqlite or postgresql";
        return false;
    }
    const std::string target = schema.empty() ? kDefaultSchema : schema;
    if (!CheckPostgres(connection, target, why)) return false;
    LONG rc = orb::RegSetString(key, "Backend", "postgresql");
    if (rc == ERROR_SUCCESS) rc = orb::RegSetString(key, "Connection", connection);
    if (rc == ERROR_SUCCESS) rc = orb::RegSetString(key, "Schema", target);
    if (rc != ERROR_SUCCESS) *why = orb::RegErrorMessage(rc);
    return rc == ERROR_SUCCESS;
}

std::string RepositoryPath(const std::string& name) {
    const std::string exact = orb::MachinePath("orbmap/" + name + std::string(kSuffix));
    if (orb::IsRegularFile(exact)) return exact;
    // Repository names match without letter case, as the framework's do on
    // Windows: a publisher whose command line was lower-cased still finds
    // "SALES" under "sales".
    const std::string found =
        orb::FindInDirectory(std::filesystem::path(exact).parent_path().string(),
                             {name + std::string(kSuffix)}, orb::IsRegularFile);
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
    std::vector<std::string> registered;
    if (orb::RegReadSubkeys(kRepositoriesKey, &registered) == ERROR_SUCCESS) {
        for (const std::string& name : registered) {
            const std::string backend =
                Setting(std::string(kRepositoriesKey) + "\\" + name, "Backend");
            if (!IsValidRepositoryName(name) || !Is(backend, "postgresql")) continue;
            // A registered name takes the place of a file of that name.
            names.erase(std::remove_if(names.begin(), names.end(),
                                       [&](const std::string& n) {
                                           return SameIgnoringCase(n, name);
                                       }),
                        names.end());
            names.push_back(name);
        }
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
