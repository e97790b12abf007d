// One machine root for the console's tests: the repository of a real
// publishing pass (published_repository.sh), the sample backup server with
// its agent served by snmphost on a free loopback port, and orbweb started
// on it twice: with the menu's actions allowed and without.
#pragma once

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/command.h"
#include "platform/sync.h"
#include "platform/textfile.h"

namespace orbwebtest {

using Json = nlohmann::json;

inline std::string Bin() { return getenv("ORB_BIN_DIR"); }

inline std::string Slurp(const std::string& path) {
    std::string text;
    orb::ReadTextFile(path, &text);
    return text;
}

// Waits (bounded) until the log holds the line, or the program ended.
inline bool WaitForLine(orb::BackgroundCommand& program, const std::string& log,
                        const std::string& line) {
    for (int i = 0; i < 200; ++i) {
        if (Slurp(log).find(line) != std::string::npos) return true;
        if (!program.Running()) return false;
        orb::SleepMs(50);
    }
    return false;
}

class Console {
  public:
    bool Start(const std::string& root, std::vector<std::string> extra) {
        log_ = root + "/orbweb-" + std::to_string(++count_) + ".log";
        std::vector<std::string> argv{Bin() + "/orbweb", "-r", "ORBWEB", "--listen", "127.0.0.1:0"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        if (!program_.Start(argv, log_) || !WaitForLine(program_, log_, "orbweb: serving"))
            return false;
        const std::string text = Slurp(log_);
        const size_t at = text.find("127.0.0.1:");
        port_ = std::atoi(text.c_str() + at + 10);
        return port_ > 0;
    }
    std::unique_ptr<httplib::Client> Client() const {
        auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
        client->set_read_timeout(20, 0);
        return client;
    }
    int port() const { return port_; }
    const std::string& log() const { return log_; }

  private:
    static inline int count_ = 0;
    orb::BackgroundCommand program_;
    std::string log_;
    int port_ = 0;
};

// A fresh machine root named by the environment, as the programs find it.
inline std::string NewMachineRoot() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orbweb-test-XXXXXX").string();
    const std::string root = mkdtemp(pattern.data()) ? pattern : std::string();
    setenv("ORB_MACHINE_ROOT", root.c_str(), 1);
    setenv("ORB_COMPUTERNAME", "ORBWEB", 1);
    setenv("ORB_HOSTS", (root + "/hosts").c_str(), 1);
    setenv("ORB_DEBUG_OUTPUT", "none", 1);
    setenv("SNMP_PERSISTENT_DIR", (root + "/snmp").c_str(), 1);
    return root;
}

// The publishing pass of published_repository.sh; its output when it failed.
inline std::string Publish() {
    std::string output;
    const int rc =
        orb::RunCommand({"bash", std::string(ORBWEB_TEST_DIR) + "/published_repository.sh", Bin()},
                        120000, &output);
    return rc == 0 ? "" : "exit " + std::to_string(rc) + ": " + output;
}

// orbcli's answer on the console's repository.
inline std::string Orbcli(const std::vector<std::string>& args) {
    std::vector<std::string> argv{Bin() + "/orbcli", "-r", "ORBWEB"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::string output;
    EXPECT_EQ(orb::RunCommand(argv, 60000, &output), 0) << output;
    return output;
}

class PublishedConsole : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        root_ = NewMachineRoot();
        ASSERT_FALSE(root_.empty());
        ASSERT_EQ(Publish(), "");
        std::string output;
        ASSERT_EQ(
            orb::RunCommand({"bash", Bin() + "/ebqry-sample-server.sh", Bin()}, 60000, &output), 0)
            << output;
        const std::string agentKey =
            "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\SNMPAgents\\lmEBAgent";
        const std::string params = "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters";
        for (const auto& args : std::vector<std::vector<std::string>>{
                 {params + "\\ExtensionAgents", "1", "REG_SZ", agentKey},
                 {params + "\\ValidCommunities", "public", "REG_DWORD", "4"},
                 {agentKey, "Pathname", "REG_SZ", Bin() + "/lmEBAgent.dll"},
                 {params + "\\Users\\console", "SecurityLevel", "REG_SZ", "authPriv"},
                 {params + "\\Users\\console", "AuthProtocol", "REG_SZ", "SHA-256"},
                 {params + "\\Users\\console", "AuthPassphrase", "REG_SZ", kAuthPassphrase},
                 {params + "\\Users\\console", "PrivProtocol", "REG_SZ", "AES"},
                 {params + "\\Users\\console", "PrivPassphrase", "REG_SZ", kPrivPassphrase}}) {
            std::vector<std::string> argv{Bin() + "/regtool", "set"};
            argv.insert(argv.end(), args.begin(), args.end());
            ASSERT_EQ(orb::RunCommand(argv, 10000, &output), 0) << output;
        }
        agent_ = new orb::BackgroundCommand;
        const std::string agentLog = root_ + "/snmphost.log";
        for (int attempt = 0; attempt < 5 && agentPort_ == 0; ++attempt) {
            const int port = orb::FreeLoopbackPort(true);
            if (agent_->Start(
                    {Bin() + "/snmphost", "--listen", "udp:127.0.0.1:" + std::to_string(port)},
                    agentLog) &&
                WaitForLine(*agent_, agentLog, "snmphost: serving"))
                agentPort_ = port;
            else
                agent_->Stop();
        }
        ASSERT_NE(agentPort_, 0) << Slurp(agentLog);
        const std::vector<std::string> snmp{"--snmp-port",       std::to_string(agentPort_),
                                            "--snmp-timeout-ms", "300",
                                            "--poll-ms",         "200"};
        allowed_ = new Console;
        std::vector<std::string> withActions = snmp;
        withActions.push_back("--allow-actions");
        ASSERT_TRUE(allowed_->Start(root_, withActions)) << Slurp(allowed_->log());
        refused_ = new Console;
        ASSERT_TRUE(refused_->Start(root_, snmp)) << Slurp(refused_->log());
        // SNMPv3: the user's passphrases from an owner-only file.
        const std::string secrets = root_ + "/console.pass";
        ASSERT_TRUE(orb::EditTextFile(secrets, [](std::string& text) {
            text = std::string(kAuthPassphrase) + "\n" + kPrivPassphrase + "\n";
            return true;
        }));
        chmod(secrets.c_str(), 0600);
        std::vector<std::string> v3 = snmp;
        v3.insert(v3.end(), {"--snmp-user", "console", "--snmp-passphrase-file", secrets});
        usm_ = new Console;
        ASSERT_TRUE(usm_->Start(root_, v3)) << Slurp(usm_->log());
    }

    static void TearDownTestSuite() {
        delete allowed_;
        delete refused_;
        delete usm_;
        delete agent_;
        allowed_ = refused_ = usm_ = nullptr;
        agent_ = nullptr;
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }

    static inline std::string root_;
    static inline int agentPort_ = 0;
    static inline orb::BackgroundCommand* agent_ = nullptr;
    static inline Console* allowed_ = nullptr;
    static inline Console* refused_ = nullptr;
    static inline Console* usm_ = nullptr;
    static constexpr const char* kAuthPassphrase = "console auth pass";
    static constexpr const char* kPrivPassphrase = "console priv pass";
};

}  // namespace orbwebtest
