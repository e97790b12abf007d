// orbf-install end to end on a fresh machine with the sample backup server:
// the framework's Orbmap key, an "SNMP" service that runs snmphost on a free
// loopback port, and net-snmp's snmpget as the manager.
#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/command.h"
#include "platform/msi.h"
#include "tests/platform/damaged_hive.h"
#include "tests/platform/scratch_dir.h"
#include "tests/platform/small_disk.h"
#include "tests/setup/setup_machine.h"
#include "tests/tools/framework_install.h"

namespace {

using setuptest::BinDir;
using setuptest::kAgentKey;
using setuptest::kAgentList;

const char* const kAgentState = ".1.3.6.1.4.1.58231.2.12.9.3.1.0";
const char* const kProductCode = "{4C7E2A91-5B3D-4F08-9E61-2D8A0B7C35F4}";

class InstallEndToEnd : public setuptest::SetupMachine {
  protected:
    void SetUp() override {
        if (geteuid() != 0) GTEST_SKIP() << "the installation needs an administrator";
        SetupMachine::SetUp();
        setenv("MIBS", "", 1);
        setenv("SNMP_PERSISTENT_DIR", (Root() + "/snmp").c_str(), 1);
        setenv("SNMPCONFPATH", (Root() + "/snmp").c_str(), 1);
        setenv("ORB_DEBUG_OUTPUT", ("file:" + Root() + "/agent.trace").c_str(), 1);
        ASSERT_EQ(Run({"bash", BinDir() + "/ebqry-sample-server.sh", BinDir()}), 0) << output_;
        Orbmap();
        Framework(4, Root() + "/Sentinex");
        port_ = orb::FreeLoopbackPort(true);
        ASSERT_NE(port_, 0);
        ASSERT_EQ(Run({BinDir() + "/svcctl", "create", "SNMP", "--command",
                       BinDir() + "/snmphost --listen udp:127.0.0.1:" + std::to_string(port_)}),
                  0)
            << output_;
        orb::RegSetDword("SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ValidCommunities",
                         "public", 4);
        orb::RegSetString(kAgentList, "1", "SOFTWARE\\Other\\Agent");
    }
    void TearDown() override {
        if (geteuid() == 0) Run({BinDir() + "/svcctl", "stop", "SNMP"});
    }

    int Run(const std::vector<std::string>& argv) {
        output_.clear();
        return orb::RunCommand(argv, 120000, &output_);
    }
    // snmpget's answer once the service answers at all (about 10 s at most).
    std::string Get() {
        std::string answer;
        for (int i = 0; i < 40; ++i) {
            answer.clear();
            int code = orb::RunCommand({"snmpget", "-v2c", "-c", "public", "-On", "-t", "1", "-r",
                                        "0", "127.0.0.1:" + std::to_string(port_), kAgentState},
                                       10000, &answer);
            if (code == 0) return answer;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
        return answer;
    }

    std::string Agent(const std::string& number) const {
        std::string data;
        orb::RegGetString(kAgentList, number, &data);
        return data;
    }
    bool Recorded() const {
        std::vector<orb::RegValue> values;
        return orb::RegReadValues(orb::InstalledProductKey(kProductCode), &values) == ERROR_SUCCESS;
    }

    std::string ReadLog() const {
        std::ifstream in(Root() + "/log/orbf-install.log");
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    // The framework's configuration tool and the programs it runs, in the
    // framework's program folder as the framework spells it ("bin"; the
    // installer starts "...\Bin\OrbConfig.exe").
    void InstallFrameworkTools() {
        orbtest::InstallFramework(BinDir(), Root() + "/Sentinex",
                                  {"OrbConfig", "ksorbcls", "quill"});
    }
    std::string Classes() {
        std::string classes;
        orb::RunCommand({BinDir() + "/orbcli", "class", "list"}, 30000, &classes);
        return classes;
    }

    int port_ = 0;
    std::string output_;
};

TEST_F(InstallEndToEnd, InstallRegistersTheAgentAndUninstallRemovesOnlyIt) {
    ASSERT_EQ(Run({BinDir() + "/orbf-install", "install"}), 0) << output_;
    EXPECT_NE(output_.find("AllowInstall returned 0"), std::string::npos) << output_;
    EXPECT_NE(output_.find("PostInstall() - Starting SNMP Service..."), std::string::npos);

    DWORD support = 0;
    orb::RegGetDword(setuptest::kProductKey + "\\OrbIntegration", "Support", &support);
    EXPECT_EQ(support, 0xFFFFFFFFu);
    std::string registered;
    orb::RegGetString(kAgentList, "2", &registered);
    EXPECT_EQ(registered, kAgentKey);
    ASSERT_EQ(Run({BinDir() + "/svcctl", "query", "SNMP"}), 0);
    EXPECT_EQ(output_, "RUNNING\n");
    EXPECT_NE(Get().find("\"Agent is Active\""), std::string::npos);
    EXPECT_NE(ReadLog().find(" AllowInstall() - MajorVersion of sentinex is 4"), std::string::npos);
    // The copies in the product's home are the machine's like all its files.
    for (const char* file : {"liblmEBAgent.so", "liblmAgentRes.so"}) {
        const auto perms = std::filesystem::status(Home() + "/" + file).permissions();
        EXPECT_EQ(perms, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write)
            << file;
    }

    ASSERT_EQ(Run({BinDir() + "/orbf-install", "uninstall"}), 0) << output_;
    EXPECT_NE(output_.find("PreUninstall returned 4099"), std::string::npos) << output_;
    std::vector<orb::RegValue> agents;
    orb::RegReadValues(kAgentList, &agents);
    ASSERT_EQ(agents.size(), 1u);
    EXPECT_EQ(agents[0].name, "1");
    const std::string answer = Get();
    EXPECT_EQ(answer.find("Agent is Active"), std::string::npos) << answer;
    EXPECT_NE(answer.find("No Such Object"), std::string::npos) << answer;
}

TEST_F(InstallEndToEnd, InstallRunsTheFrameworksToolsWhichImportTheProductsClasses) {
    InstallFrameworkTools();
    orbtest::ScopedEnv batch("ORB_UI", "batch");
    orbtest::ScopedEnv yes("ORB_UI_ANSWER", "yes");
    ASSERT_EQ(Run({BinDir() + "/orbf-install", "install"}), 0) << output_;
    EXPECT_NE(output_.find("PostInstall() - Launch " + Root() + "/Sentinex\\Bin\\OrbConfig.exe"),
              std::string::npos)
        << output_;
    // OrbConfig waits for ksorbcls; quill, which ksorbcls starts, runs on
    // its own: its import shows when it ends.
    std::string classes;
    for (int i = 0; i < 300; ++i) {
        classes = Classes();
        if (classes.find("LumoraVB\n") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_NE(classes.find("LumoraVB\n"), std::string::npos) << classes << output_;
    EXPECT_NE(classes.find("Vaultline\n"), std::string::npos);
}

TEST_F(InstallEndToEnd, ARefusalEndsTheRunWithItsMessage) {
    orb::RegRemoveKey("SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap");
    EXPECT_EQ(Run({BinDir() + "/orbf-install", "install", "UILevel=2"}), 1);
    EXPECT_NE(output_.find("ERRORMSG: The framework's Orbmap component is not installed"),
              std::string::npos)
        << output_;
    EXPECT_EQ(output_.find("PostInstall"), std::string::npos);
    EXPECT_EQ(Run({BinDir() + "/orbf-install", "install", "NOEQUALS"}), 2);
}

// Media without the agent's library: nothing is registered, copied or
// recorded, and the run says why.
TEST_F(InstallEndToEnd, AMissingMediaFileStopsTheInstallBeforeAnythingChanges) {
    orbtest::ScratchDir media;
    std::filesystem::copy_file(BinDir() + "/liblmAgentRes.so", media / "liblmAgentRes.so");
    EXPECT_EQ(Run({BinDir() + "/orbf-install", "install", "UILevel=2",
                   "SOURCEDIR=" + media.path() + "/"}),
              1);
    EXPECT_NE(output_.find("orbf-install: lmEBAgent.dll is not on the setup media"),
              std::string::npos)
        << output_;
    EXPECT_EQ(output_.find("PostInstall"), std::string::npos) << output_;
    EXPECT_EQ(Agent("2"), "");
    EXPECT_FALSE(Recorded());
    EXPECT_FALSE(std::filesystem::exists(Home() + "/liblmAgentRes.so"));
    std::vector<orb::RegValue> agentKey;
    EXPECT_NE(orb::RegReadValues(kAgentKey, &agentKey), ERROR_SUCCESS);
}

// Both verbs read everything they decide on from the registry.
TEST_F(InstallEndToEnd, ADamagedHiveStopsInstallAndUninstall) {
    ASSERT_EQ(Run({BinDir() + "/orbf-install", "install", "UILevel=2"}), 0) << output_;
    ASSERT_TRUE(Recorded());
    ASSERT_TRUE(orbtest::DamageHiveHeader(Root()));
    for (const char* verb : {"install", "uninstall"}) {
        EXPECT_EQ(Run({BinDir() + "/orbf-install", verb, "UILevel=2"}), 1) << verb;
        EXPECT_NE(output_.find("orbf-install: cannot read the registry: the registry hive is "
                               "damaged (error 1009)"),
                  std::string::npos)
            << output_;
        EXPECT_EQ(output_.find("Allow"), std::string::npos) << output_;
    }
    EXPECT_TRUE(std::filesystem::exists(Home() + "/liblmEBAgent.so"));
}

// Wrong command lines end with 2 and a message, before anything runs.
TEST_F(InstallEndToEnd, UsageErrorsExitTwoWithAMessage) {
    const std::string program = BinDir() + "/orbf-install";
    std::ofstream(Root() + "/plain") << "a file, not a folder";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{program}, "orbf-install: A subcommand is required"},
        {{program, "--log"}, "orbf-install: --log"},
        {{program, "remove"}, "orbf-install: "},
        {{program, "install", "NOEQUALS"}, "NOEQUALS is not PROPERTY=VALUE"},
        {{program, "install", "UILevel=abc"}, "UILevel=abc is not a number"},
        {{program, "install", "UILevel="}, "UILevel= is not a number"},
        {{program, "--log", Root() + "/plain/install.log", "install"},
         "cannot write the log file " + Root() + "/plain/install.log"},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Run(args), 2) << args.back() << ": " << output_;
        EXPECT_NE(output_.find(message), std::string::npos) << output_;
        EXPECT_EQ(output_.find("AllowInstall"), std::string::npos) << output_;
    }
    EXPECT_EQ(Agent("2"), "");
    EXPECT_EQ(Run({program, "--help"}), 0) << output_;
}

// The registry on a disk that fills: the machine root is a small tmpfs, with
// the installer's session and log folders and the product's home elsewhere,
// so that only the installer's registry writes meet the full disk.
class InstallOnAFullDisk : public InstallEndToEnd {
  protected:
    void SetUp() override {
        disk_ = std::make_unique<orbtest::SmallDisk>(Root(), 4 << 20);
        if (!disk_->mounted()) GTEST_SKIP() << disk_->why();
        for (const char* dir : {"tmp", "log"}) {
            std::filesystem::create_directories(elsewhere_ / dir);
            std::filesystem::create_directory_symlink(elsewhere_ / dir, Root() + "/" + dir);
        }
        InstallEndToEnd::SetUp();
        ASSERT_EQ(
            orb::RegSetString(setuptest::kProductKey + "\\Base\\Path", "HOME", elsewhere_ / "home"),
            ERROR_SUCCESS);
    }
    void TearDown() override {
        InstallEndToEnd::TearDown();
        session_.reset();
        disk_.reset();
    }
    orbtest::ScratchDir elsewhere_;
    std::unique_ptr<orbtest::SmallDisk> disk_;
};

TEST_F(InstallOnAFullDisk, WritesTheRegistryCannotTakeFailTheRun) {
    disk_->Fill();
    EXPECT_EQ(Run({BinDir() + "/orbf-install", "install", "UILevel=2"}), 1) << output_;
    EXPECT_NE(output_.find("orbf-install: cannot record the installed product: the registry "
                           "hive cannot be written"),
              std::string::npos)
        << output_;
    disk_->Empty();
    EXPECT_FALSE(Recorded());
    EXPECT_EQ(Agent("2"), "");

    ASSERT_EQ(Run({BinDir() + "/orbf-install", "install", "UILevel=2"}), 0) << output_;
    EXPECT_TRUE(Recorded());
    disk_->Fill();
    EXPECT_EQ(Run({BinDir() + "/orbf-install", "uninstall", "UILevel=2"}), 1) << output_;
    EXPECT_NE(output_.find("orbf-install: cannot remove the installed product"), std::string::npos)
        << output_;
    disk_->Empty();
    EXPECT_TRUE(Recorded());
}

}  // namespace
