// Where a machine's repositories live and which of them is the default.
//   <machine root>/orbmap/<name>.orb.db   one SQLite database per repository
// The default repository is the one named by the framework's registry value
// "RepositoryName", else "DefaultRepository" (HKLM, kFrameworkApiKey), when
// that repository exists.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orbom {

inline constexpr const char* kFrameworkApiKey =
    "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Orbmap/API";

// The database file of a repository (its folder is created when missing):
// the existing one whose name matches without letter case, else the exact
// spelling. The name must have passed IsValidRepositoryName.
std::string RepositoryPath(const std::string& name);
// The machine's repositories by name; with defaultFirst the default one
// leads the list.
std::vector<std::string> ListRepositories(bool defaultFirst);
// The framework's class-definition file, built into the library.
std::string_view FrameworkClasses();

}  // namespace orbom
