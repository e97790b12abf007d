// Reading the SNMP service's registry keys as the Windows SNMP service lays
// them out (and as the installer writes them).
#include "snmphost/config.h"

#include <gtest/gtest.h>

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
