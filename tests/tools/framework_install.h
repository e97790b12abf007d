// The management framework installed as the configuration chain finds it:
// its bin folder holds copies of the programs the chain starts, the
// product's class file and every library they load, and the registry says
// where the framework, its agent services and its repository component are.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "tools/OrbConfig/OrbConfigApp.h"

namespace orbtest {

// programs: names in binDir, copied into "<install>/bin" with "Lumora.orb"
// and every shared library there.
inline void InstallFramework(const std::string& binDir, const std::string& install,
                             const std::vector<std::string>& programs) {
    namespace fs = std::filesystem;
    const fs::path bin = install + "/bin";
    fs::create_directories(bin);
    for (const fs::directory_entry& entry : fs::directory_iterator(binDir)) {
        const std::string name = entry.path().filename().string();
        bool wanted = name == "Lumora.orb" || name.ends_with(".so");
        for (const std::string& program : programs) wanted = wanted || name == program;
        if (wanted) fs::copy_file(entry.path(), bin / name);
    }
    ASSERT_EQ(orb::RegSetString(kFrameworkKey, "InstallPath", install), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(kAgentServicesKey, "InstallPath", install + "/agents"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(kOrbmapPresenceKey, "Version", "1"), ERROR_SUCCESS);
}

}  // namespace orbtest
