// Damages a machine's registry hive the way a failing disk or a stray write
// does: the database header overwritten. The damaged file takes the hive's
// place as a new file, so that a process that had the hive open (the test
// itself) finds it damaged too, as another process would.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace orbtest {

// root: the machine root; false when it has no hive to damage.
inline bool DamageHiveHeader(const std::string& root) {
    const std::string hive = root + "/registry.db";
    std::stringstream text;
    text << std::ifstream(hive, std::ios::binary).rdbuf();
    std::string damaged = text.str();
    if (damaged.size() < 100) return false;
    damaged.replace(0, 100, std::string(100, 'X'));
    std::ofstream(hive + ".new", std::ios::binary) << damaged;
    std::error_code error;
    std::filesystem::rename(hive + ".new", hive, error);
    if (error) return false;
    std::filesystem::remove(hive + "-wal", error);
    std::filesystem::remove(hive + "-shm", error);
    return true;
}

}  // namespace orbtest
