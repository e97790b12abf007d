// The end of a process that has the agent loaded: the collectors may be
// inside the query library at that moment, and nothing either library uses
// in a call may be torn down under them by the exit handlers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/command.h"
#include "platform/registry.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace {

std::string binDir() { return orbtest::BinDir(); }

TEST(AgentExit, EndsCleanlyWhileTheCollectorsAreConnecting) {
    orbtest::ScratchDir root;
    orbtest::ScopedEnv machine("ORB_MACHINE_ROOT", root.path());
    orbtest::ScopedEnv quiet("ORB_DEBUG_OUTPUT", "none");
    // The database engine's state comes from a command that is slow to answer.
    const std::string systemctl = root / "systemctl";
    const std::string marker = root / "connecting";
    std::ofstream(systemctl) << "#!/bin/sh\ntouch '" << marker << "'\nsleep 0.5\nexit 0\n";
    std::filesystem::permissions(systemctl, std::filesystem::perms::owner_all);
    orbtest::ScopedEnv backend("ORB_SERVICE_BACKEND", "systemd");
    orbtest::ScopedEnv command("ORB_SYSTEMCTL", systemctl);
    const std::string home = root / "vaultline";
    std::filesystem::create_directories(home);
    std::filesystem::copy_file(binDir() + "/ebqry-sample-state.json", home + "/ServerState.json");
    ASSERT_EQ(orb::RegSetString("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path",
                                "HOME", home),
              ERROR_SUCCESS);

    for (int run = 0; run < 2; ++run) {
        std::filesystem::remove(marker);
        std::string output;
        EXPECT_EQ(orb::RunCommand({binDir() + "/agent_exit", binDir() + "/lmEBAgent.dll", marker},
                                  60000, &output),
                  0)
            << "run " << run << ": " << output;
    }
}

}  // namespace
