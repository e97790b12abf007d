// Reading the SNMP service's registry keys as the Windows SNMP service lays
// them out (and as the installer writes them).
#include "snmphost/config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "machine_root.h"
#include "platform/registry.h"

namespace {

const std::string kParams = snmphost::kParametersKey;

TEST(SnmphostConfig, AgentsInNumericOrderWithWindowsPathsMadeUsable) {
    ScopedMachineRoot root;
    setenv("SNMPHOST_TEST_HOME", "/opt/vault", 1);
    ASSERT_EQ(orb::RegSetString(kParams + "\\ExtensionAgents", "10", "SOFTWARE\\B\\CurrentVersion"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(kParams + "\\ExtensionAgents", "2", "SOFTWARE\\A\\CurrentVersion"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(kParams + "\\ExtensionAgents", "3", "SOFTWARE\\Missing"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString("SOFTWARE\\A\\CurrentVersion", "Pathname", "C:\\Agents\\a.dll"),
              ERROR_SUCCESS);
    ASSERT_EQ(
        orb::RegSetString("SOFTWARE\\B\\CurrentVersion", "Pathname",
                          "%SNMPHOST_TEST_HOME%\\lmEBAgent.dll;%UNSET_VARIABLE_X%", REG_EXPAND_SZ),
        ERROR_SUCCESS);

    const snmphost::ServiceConfig config = snmphost::ReadServiceConfig();
    ASSERT_EQ(config.agents.size(), 2u);
    EXPECT_EQ(config.agents[0].pathname, "C:/Agents/a.dll");  // "2" before "10"
    EXPECT_EQ(config.agents[1].pathname, "/opt/vault/lmEBAgent.dll;%UNSET_VARIABLE_X%");
    ASSERT_EQ(config.warnings.size(), 1u);
    EXPECT_NE(config.warnings[0].find("SOFTWARE\\Missing"), std::string::npos);
}

TEST(SnmphostConfig, CommunitiesGrantOnlyWhatTheirAccessValueSays) {
    ScopedMachineRoot root;
    const std::string key = kParams + "\\ValidCommunities";
    ASSERT_EQ(orb::RegSetDword(key, "public", 4), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key, "private", 8), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key, "create", 16), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key, "none", 1), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key, "notify", 2), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key, "two words", 4), ERROR_SUCCESS);  // cannot be configured safely
    ASSERT_EQ(orb::RegSetString(key, "stringly", "4"), ERROR_SUCCESS);  // wrong type: no access

    const snmphost::ServiceConfig config = snmphost::ReadServiceConfig();
    std::map<std::string, snmphost::Access> granted;
    for (const auto& c : config.communities) granted[c.name] = c.access;
    EXPECT_EQ(granted,
              (std::map<std::string, snmphost::Access>{{"public", snmphost::Access::kReadOnly},
                                                       {"private", snmphost::Access::kReadWrite},
                                                       {"create", snmphost::Access::kReadWrite}}));
    EXPECT_EQ(config.warnings.size(), 2u);
    EXPECT_TRUE(config.agents.empty());
}

TEST(SnmphostConfig, TrapDestinationsPerCommunityInValueOrder) {
    ScopedMachineRoot root;
    const std::string key = kParams + "\\TrapConfiguration";
    ASSERT_EQ(orb::RegSetString(key + "\\public", "2", "127.0.0.1:1163"), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(key + "\\public", "1", "localhost"), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(key + "\\public", "3", ""), ERROR_SUCCESS);  // ignored
    ASSERT_EQ(orb::RegSetString(key + "\\ops", "1", "127.0.0.1:1164"), ERROR_SUCCESS);

    const snmphost::ServiceConfig config = snmphost::ReadServiceConfig();
    std::map<std::string, std::vector<std::string>> byCommunity;
    for (const auto& d : config.trapDestinations) byCommunity[d.community].push_back(d.address);
    EXPECT_EQ(byCommunity,
              (std::map<std::string, std::vector<std::string>>{
                  {"ops", {"127.0.0.1:1164"}}, {"public", {"localhost", "127.0.0.1:1163"}}}));
    EXPECT_TRUE(config.communities.empty());  // no ValidCommunities: no access
}

// A destination's own key says what it is sent; what cannot be sent is
// skipped with a warning, and a value of the wrong type is only a warning.
TEST(SnmphostConfig, DestinationKeysChooseTheNotificationWithBoundedInformWaits) {
    ScopedMachineRoot root;
    const std::string key = kParams + "\\TrapConfiguration\\public";
    for (const char* n : {"1", "2", "3", "4", "5", "6", "7"})
        ASSERT_EQ(orb::RegSetString(key, n, std::string("127.0.0.1:1") + n), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\2", "Version", 2), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\3", "Version", 2), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\3", "Inform", 1), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\3", "Retries", 99), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\3", "Timeout", 5), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\4", "Inform", 1), ERROR_SUCCESS);   // SNMPv1: none
    ASSERT_EQ(orb::RegSetDword(key + "\\5", "Version", 3), ERROR_SUCCESS);  // no user
    ASSERT_EQ(orb::RegSetDword(key + "\\6", "Version", 3), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(key + "\\6", "User", "ops"), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(key + "\\7", "Version", "2"), ERROR_SUCCESS);  // not a DWORD
    ASSERT_EQ(orb::RegSetString(kParams + "\\PermittedManagers", "2", "192.0.2.9"), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(kParams + "\\PermittedManagers", "1", "manager.example"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(kParams, "EnableAuthenticationTraps", "1"), ERROR_SUCCESS);

    const snmphost::ServiceConfig config = snmphost::ReadServiceConfig();
    EXPECT_EQ(config.registryError, 0);
    std::vector<std::string> kinds;
    for (const auto& d : config.trapDestinations)
        kinds.push_back(d.address + " v" + std::to_string(d.version) +
                        (d.inform ? " inform " : " trap ") + std::to_string(d.retries) + "x" +
                        std::to_string(d.timeoutMs) + " " + d.user);
    EXPECT_EQ(kinds, (std::vector<std::string>{
                         "127.0.0.1:11 v1 trap 2x1000 ", "127.0.0.1:12 v2 trap 2x1000 ",
                         "127.0.0.1:13 v2 inform 5x100 ", "127.0.0.1:16 v3 trap 2x1000 ops",
                         "127.0.0.1:17 v1 trap 2x1000 "}));
    EXPECT_EQ(config.warnings.size(), 6u);  // two bounds, two refusals, two types
    EXPECT_EQ(config.permittedManagers, (std::vector<std::string>{"manager.example", "192.0.2.9"}));
    EXPECT_FALSE(config.authenticationTraps);
}

TEST(SnmphostConfig, AuthenticationTrapsFollowTheRegistryDword) {
    ScopedMachineRoot root;
    EXPECT_FALSE(snmphost::ReadServiceConfig().authenticationTraps);
    ASSERT_EQ(orb::RegSetDword(kParams, "EnableAuthenticationTraps", 1), ERROR_SUCCESS);
    EXPECT_TRUE(snmphost::ReadServiceConfig().authenticationTraps);
    ASSERT_EQ(orb::RegSetDword(kParams, "EnableAuthenticationTraps", 0), ERROR_SUCCESS);
    EXPECT_FALSE(snmphost::ReadServiceConfig().authenticationTraps);
    EXPECT_TRUE(snmphost::ReadServiceConfig().permittedManagers.empty());
}

}  // namespace

namespace snmpv3 {

const std::string kUsers = kParams + "\\Users";

void SetUser(const std::string& name, const std::map<std::string, std::string>& texts) {
    for (const auto& [value, text] : texts)
        ASSERT_EQ(orb::RegSetString(kUsers + "\\" + name, value, text), ERROR_SUCCESS);
}

std::string WriteFile(const std::string& path, const std::string& text, mode_t mode) {
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
    return path;
}

// The warning about one user, or "" when there is none.
std::string WarningFor(const snmphost::UsmConfig& config, const std::string& user) {
    for (const std::string& w : config.warnings)
        if (w.find("\"" + user + "\"") != std::string::npos) return w;
    return std::string();
}

TEST(SnmphostConfig, SnmpV3UsersTakeTheirLevelProtocolsAndAccessWithDefaults) {
    ScopedMachineRoot root;
    SetUser("full", {{"SecurityLevel", "authpriv"},
                     {"AuthProtocol", "SHA-512"},
                     {"AuthPassphrase", "auth pass 1"},
                     {"PrivProtocol", "AES-128"},
                     {"PrivPassphrase", "priv pass 1"}});
    ASSERT_EQ(orb::RegSetDword(kUsers + "\\full", "Access", 8), ERROR_SUCCESS);
    SetUser("plain", {{"AuthPassphrase", "12345678"}, {"PrivPassphrase", "abcdefgh"}});
    SetUser("signer", {{"SecurityLevel", "authNoPriv"},
                       {"AuthProtocol", "SHA"},
                       {"AuthPassphrase", "signer-pass"},
                       {"PrivProtocol", "DES"}});  // unused at this level
    SetUser("open", {{"SecurityLevel", "noAuthNoPriv"}});
    const std::string file =
        WriteFile(root.Path() + "/ops.pass", "file auth 1\r\nfile priv 1\n", 0600);
    SetUser("fromfile", {{"PassphraseFile", file}, {"AuthPassphrase", "ignored-here"}});

    snmphost::UsmConfig config = snmphost::ReadUsmConfig();
    EXPECT_TRUE(config.warnings.empty()) << config.warnings[0];
    EXPECT_FALSE(config.v3Only);  // not set

    // A switch of the wrong type is said to be ignored, not silently so.
    ASSERT_EQ(orb::RegSetString(kParams, "SNMPv3Only", "1"), ERROR_SUCCESS);
    const snmphost::UsmConfig typo = snmphost::ReadUsmConfig();
    EXPECT_FALSE(typo.v3Only);
    ASSERT_EQ(typo.warnings.size(), 1u);
    EXPECT_NE(typo.warnings[0].find("\"SNMPv3Only\" is not a REG_DWORD"), std::string::npos);
    std::map<std::string, snmphost::UsmUser> users;
    for (const auto& u : config.users) users[u.name] = u;
    ASSERT_EQ(users.size(), 5u);
    const auto& full = users["full"];
    EXPECT_EQ(full.level, snmphost::SecurityLevel::kAuthPriv);
    EXPECT_EQ(full.authProtocol, "SHA-512");
    EXPECT_EQ(full.privProtocol, "AES");
    EXPECT_EQ(full.authPassphrase, "auth pass 1");
    EXPECT_EQ(full.privPassphrase, "priv pass 1");
    EXPECT_EQ(full.access, snmphost::Access::kReadWrite);
    const auto& plain = users["plain"];  // authPriv, SHA-256, AES, read-only
    EXPECT_EQ(plain.level, snmphost::SecurityLevel::kAuthPriv);
    EXPECT_EQ(plain.authProtocol, "SHA-256");
    EXPECT_EQ(plain.privProtocol, "AES");
    EXPECT_EQ(plain.access, snmphost::Access::kReadOnly);
    EXPECT_EQ(users["signer"].authProtocol, "SHA");
    EXPECT_TRUE(users["signer"].privPassphrase.empty());
    EXPECT_EQ(users["open"].level, snmphost::SecurityLevel::kNoAuthNoPriv);
    EXPECT_EQ(users["fromfile"].authPassphrase, "file auth 1");
    EXPECT_EQ(users["fromfile"].privPassphrase, "file priv 1");

    config.ForgetPassphrases();
    for (const auto& u : config.users)
        EXPECT_TRUE(u.authPassphrase.empty() && u.privPassphrase.empty());
}

TEST(SnmphostConfig, SnmpV3UsersRefusedSayWhyWithoutTheirPassphrases) {
    ScopedMachineRoot root;
    ASSERT_EQ(orb::RegSetDword(kParams, "SNMPv3Only", 1), ERROR_SUCCESS);
    SetUser("short", {{"AuthPassphrase", "seven77"}, {"PrivPassphrase", "long enough"}});
    SetUser("shortpriv", {{"AuthPassphrase", "long enough"}, {"PrivPassphrase", "1234567"}});
    SetUser("des", {{"AuthPassphrase", "long enough"},
                    {"PrivProtocol", "DES"},
                    {"PrivPassphrase", "long enough"}});
    SetUser("md5", {{"SecurityLevel", "authNoPriv"},
                    {"AuthProtocol", "MD5"},
                    {"AuthPassphrase", "long enough"}});
    SetUser("level", {{"SecurityLevel", "authpriv!"}});
    SetUser("none", {{"SecurityLevel", "noAuthNoPriv"}});
    ASSERT_EQ(orb::RegSetDword(kUsers + "\\none", "Access", 2), ERROR_SUCCESS);  // notify only
    SetUser("two words", {{"SecurityLevel", "noAuthNoPriv"}});
    SetUser("shared", {{"SecurityLevel", "authNoPriv"},
                       {"PassphraseFile",
                        WriteFile(root.Path() + "/shared.pass", "secret-in-file\n", 0640)}});
    SetUser("nofile", {{"PassphraseFile", root.Path() + "/missing.pass"}});
    ASSERT_EQ(mkfifo((root.Path() + "/fifo.pass").c_str(), 0600), 0);  // must not hang
    SetUser("fifo", {{"PassphraseFile", root.Path() + "/fifo.pass"}});
    const std::string foreign = WriteFile(root.Path() + "/foreign.pass", "x\ny\n", 0600);
    const bool asRoot = geteuid() == 0 && chown(foreign.c_str(), 65534, 65534) == 0;
    if (asRoot) SetUser("foreign", {{"PassphraseFile", foreign}});

    const snmphost::UsmConfig config = snmphost::ReadUsmConfig();
    EXPECT_TRUE(config.v3Only);
    EXPECT_TRUE(config.users.empty()) << config.users[0].name;
    const std::map<std::string, std::string> expected{
        {"short", "the authentication passphrase is shorter than 8 characters"},
        {"shortpriv", "the privacy passphrase is shorter than 8 characters"},
        {"des", "DES is refused"},
        {"md5", "MD5 is refused"},
        {"level", "unknown \"SecurityLevel\" \"authpriv!\""},
        {"none", "\"Access\" grants nothing"},
        {"two words", "unusable name"},
        {"shared", "can be read or written by group or others"},
        {"nofile", "cannot be opened"},
        {"fifo", "is not a regular file"}};
    for (const auto& [user, why] : expected) {
        const std::string warning = WarningFor(config, user);
        EXPECT_NE(warning.find(why), std::string::npos) << user << ": " << warning;
    }
    if (asRoot) {
        EXPECT_NE(WarningFor(config, "foreign").find("is not owned by this account"),
                  std::string::npos);
    }
    EXPECT_EQ(config.warnings.size(), expected.size() + (asRoot ? 1 : 0));
    for (const std::string& w : config.warnings)
        EXPECT_TRUE(w.find("long enough") == std::string::npos &&
                    w.find("seven77") == std::string::npos &&
                    w.find("secret-in-file") == std::string::npos)
            << w;
}

TEST(SnmphostConfig, PassphrasesInAHiveOthersCanReadAreNotUsed) {
    ScopedMachineRoot root;
    SetUser("ops", {{"AuthPassphrase", "auth pass 1"}, {"PrivPassphrase", "priv pass 1"}});
    const std::string file =
        WriteFile(root.Path() + "/ops.pass", "file auth 1\nfile priv 1\n", 0400);
    SetUser("fromfile", {{"PassphraseFile", file}});
    ASSERT_EQ(chmod(orb::RegHivePath().c_str(), 0644), 0);

    const snmphost::UsmConfig config = snmphost::ReadUsmConfig();
    ASSERT_EQ(config.users.size(), 1u);
    EXPECT_EQ(config.users[0].name, "fromfile");  // a file of its own still serves
    EXPECT_NE(
        WarningFor(config, "ops").find("registry.db can be read or written by group or others"),
        std::string::npos)
        << WarningFor(config, "ops");

    // The write-ahead log holds the latest writes, passphrases among them.
    ASSERT_EQ(chmod(orb::RegHivePath().c_str(), 0600), 0);
    ASSERT_EQ(chmod((orb::RegHivePath() + "-wal").c_str(), 0604), 0);
    EXPECT_NE(WarningFor(snmphost::ReadUsmConfig(), "ops").find("registry.db-wal can be read"),
              std::string::npos);
    ASSERT_EQ(chmod((orb::RegHivePath() + "-wal").c_str(), 0600), 0);
    EXPECT_EQ(snmphost::ReadUsmConfig().users.size(), 2u);
}

}  // namespace snmpv3
