// The agent served by the real SNMP service: snmphost on a free loopback
// port, a private machine root whose registry registers lmEBAgent as the
// installer does, and net-snmp's command-line tools as managers.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/command.h"
#include "platform/registry.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace agentservice {

inline const std::string kRoot = ".1.3.6.1.4.1.58231.2.12.9";
inline const std::string kParams = "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters";
inline const std::string kAgentKey =
    "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\SNMPAgents\\lmEBAgent";

inline std::string binDir() { return orbtest::BinDir(); }

inline std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline int occurrences(const std::string& text, const std::string& part) {
    int found = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

// Polls a log until it holds text count times (about 10 s at most).
inline bool waitForText(const std::string& path, const std::string& text, int count = 1) {
    for (int i = 0; i < 200; ++i) {
        if (occurrences(readFile(path), text) >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

class AgentService : public ::testing::Test {
  protected:
    void SetUp() override {
        port_ = orb::FreeLoopbackPort(true);
        ASSERT_NE(port_, 0);
        ASSERT_EQ(orb::RegSetString(kParams + "\\ExtensionAgents", "1", kAgentKey), ERROR_SUCCESS);
        ASSERT_EQ(orb::RegSetDword(kParams + "\\ValidCommunities", "public", 4), ERROR_SUCCESS);
        ASSERT_EQ(orb::RegSetDword(kParams + "\\ValidCommunities", "private", 8), ERROR_SUCCESS);
    }

    void TearDown() override {
        if (service_.Pid()) {
            EXPECT_EQ(service_.Stop(), 0) << readFile(log_);
        }
    }

    // The service and the agent as installed from `dir` (the build by default).
    void start(const std::string& dir, const std::string& library = "lmEBAgent.dll") {
        ASSERT_EQ(orb::RegSetString(kAgentKey, "Pathname", dir + "\\" + library), ERROR_SUCCESS);
        log_ = root_ / "snmphost.log";
        ASSERT_TRUE(
            service_.Start({dir + "/snmphost", "--listen", "udp:127.0.0.1:" + std::to_string(port_),
                            "--trap-address", "127.0.0.1"},
                           log_));
        ASSERT_TRUE(waitForText(log_, "snmphost: serving")) << readFile(log_);
    }

    std::string snmp(const std::string& tool, const std::string& version,
                     const std::string& community, std::vector<std::string> args) {
        std::vector<std::string> argv{
            tool, "-" + version, "-c", community, "-On",
            "-t", "2",           "-r", "1",       "127.0.0.1:" + std::to_string(port_)};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string out;
        EXPECT_NE(orb::RunCommand(argv, 30000, &out), -2) << tool << " hung";
        return out;
    }

    // snmptrapd on a free loopback port, registered as the trap destination
    // of community public; its log's path.
    std::string startTrapReceiver() {
        const int trapPort = orb::FreeLoopbackPort(true);
        EXPECT_NE(trapPort, 0);
        EXPECT_EQ(orb::RegSetString(kParams + "\\TrapConfiguration\\public", "1",
                                    "127.0.0.1:" + std::to_string(trapPort)),
                  ERROR_SUCCESS);
        const std::string conf = root_ / "snmptrapd.conf";
        std::ofstream(conf) << "authCommunity log public\n";
        const std::string trapLog = root_ / "traps.log";
        EXPECT_TRUE(receiver_.Start({"snmptrapd", "-f", "-Lo", "-C", "-c", conf, "-On",
                                     "udp:127.0.0.1:" + std::to_string(trapPort)},
                                    trapLog));
        EXPECT_TRUE(waitForText(trapLog, "NET-SNMP version")) << readFile(trapLog);
        return trapLog;
    }

    orbtest::ScratchDir root_;
    orbtest::ScopedEnv machine_{"ORB_MACHINE_ROOT", root_.path()};
    // The tools read no MIB files and write nothing outside the root.
    orbtest::ScopedEnv mibs_{"MIBS", ""};
    orbtest::ScopedEnv persistent_{"SNMP_PERSISTENT_DIR", root_ / "snmp"};
    orbtest::ScopedEnv config_{"SNMPCONFPATH", root_ / "snmp"};
    orbtest::ScopedEnv debug_{"ORB_DEBUG_OUTPUT", "file:" + (root_ / "agent.trace")};
    int port_ = 0;
    std::string log_;
    orb::BackgroundCommand service_;
    orb::BackgroundCommand receiver_;
};

}  // namespace agentservice
