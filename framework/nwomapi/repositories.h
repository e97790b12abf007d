// Where a machine's repositories live and which of them is the default.
//   <machine root>/orbmap/<name>.orb.db   one SQLite database per repository
// unless the framework's registry puts the name elsewhere: a key
//   HKLM\SOFTWARE\NorwindSystems\NW-Sentinex/Orb\Orbmap\Repositories\<name>
// with "Backend" "postgresql", "Connection" (a libpq connection string
// without password) and optionally "Schema" (default "public") and
// "SynchronousCommit" (default "off") names a repository in a PostgreSQL
// database; "Backend" "sqlite" (or no key) is the
// file. On either backend "ReadCache" (DWORD) 0 turns the connection's read
// cache off and "ReadCacheKB" (DWORD) sets its cap. The default repository
// is the one named by the framework's registry value "RepositoryName", else
// "DefaultRepository" (HKLM, kFrameworkApiKey),
// when that repository exists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/nwomapi/pg_link.h"
#include "framework/nwomapi/statements.h"

namespace orbom {

inline constexpr const char* kFrameworkApiKey =
    "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Orbmap/API";
inline constexpr const char* kRepositoriesKey =
    "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Repositories";

struct RepositoryPlace {
    Backend backend = Backend::Sqlite;
    // The read cache: "ReadCache" 0 turns it off; "ReadCacheKB" caps it.
    bool readCache = true;
    size_t cacheBytes = 0;  // 0: the default cap
    std::string path;  // the SQLite file
    PgTarget target;   // the PostgreSQL schema
};

// Where the named repository lives (the name must have passed
// IsValidRepositoryName): false, with the reason, when its settings are not
// usable.
bool LocateRepository(const std::string& name, RepositoryPlace* out, std::string* why);
// Writes the name's settings: backend "postgresql" with a connection string
// and a schema (empty: "public"), or "sqlite", which removes them. False,
// with the reason, for settings LocateRepository would refuse.
bool RegisterRepository(const std::string& name, const std::string& backend,
                        const std::string& connection, const std::string& schema,
                        std::string* why);
// The database file of a repository (its folder is created when missing):
// the existing one whose name matches without letter case, else the exact
// spelling. The name must have passed IsValidRepositoryName.
std::string RepositoryPath(const std::string& name);
// The machine's repositories by name, the files and the registered ones;
// with defaultFirst the default one leads the list.
std::vector<std::string> ListRepositories(bool defaultFirst);
// The framework's class-definition file, built into the library.
std::string_view FrameworkClasses();

}  // namespace orbom
