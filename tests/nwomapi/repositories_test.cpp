// Repositories of a machine: names that could leave the folder, listing with
// the default first, creation, and sign-on accounts.
#include <fstream>
#include <iterator>

#include "platform/registry.h"
#include "tests/nwomapi/repository_fixture.h"

namespace nwomapitest {
namespace {

using RepositoriesTest = RepositoryTest;

std::vector<std::string> List(ORBOM_KERNEL kernel, uint32_t flags) {
    std::vector<std::string> out;
    EXPECT_EQ(ORBOM_Repository_EnumBegin(kernel, flags), 0);
    char name[30];
    while (ORBOM_Repository_EnumNext(kernel, name, sizeof name) == 0) out.push_back(name);
    return out;
}

TEST_P(RepositoriesTest, NamesThatCouldEscapeTheFolderAreRefused) {
    ORBOM_CONNECTION c = 0;
    for (const char* name : {"../Test", "a/b", "a\\b", "..", ".", "tab\there", "",
                             "ThirtyCharactersLongName123456"}) {
        EXPECT_EQ(ORBOM_Repository_Create(kernel_, name), ORBOM_RC_INVALID_REPOSITORY) << name;
        EXPECT_EQ(ORBOM_Repository_Connect(kernel_, name, &c), ORBOM_RC_INVALID_REPOSITORY) << name;
    }
    EXPECT_EQ(ORBOM_Repository_Connect(kernel_, "Missing", &c), ORBOM_RC_INVALID_REPOSITORY);
    EXPECT_EQ(c, 0u);
    EXPECT_EQ(ORBOM_Repository_Create(kernel_, "Test"), ORBOM_RC_NAME_IS_NOT_UNIQUE);
    // Names match without letter case, as on Windows: one repository "Test".
    EXPECT_EQ(ORBOM_Repository_Create(kernel_, "TEST"), ORBOM_RC_NAME_IS_NOT_UNIQUE);
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "test", &c), 0);
    EXPECT_EQ(ORBOM_Repository_Disconnect(&c), 0);
    Place("TwentyNineCharactersLongName1");
    EXPECT_EQ(ORBOM_Repository_Create(kernel_, "TwentyNineCharactersLongName1"), 0);
}

TEST_P(RepositoriesTest, ListingPutsTheRegistryDefaultFirst) {
    Place("Alpha");
    Place("Zulu");
    ASSERT_EQ(ORBOM_Repository_Create(kernel_, "Alpha"), 0);
    ASSERT_EQ(ORBOM_Repository_Create(kernel_, "Zulu"), 0);
    EXPECT_EQ(List(kernel_, ORBOM_ENUM_DEFAULT_FIRST),
              (std::vector<std::string>{"Alpha", "Test", "Zulu"}));

    const char* key = "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Orbmap/API";
    ASSERT_EQ(orb::RegSetString(key, "DefaultRepository", "Zulu"), ERROR_SUCCESS);
    EXPECT_EQ(List(kernel_, ORBOM_ENUM_DEFAULT_FIRST),
              (std::vector<std::string>{"Zulu", "Alpha", "Test"}));
    // "RepositoryName" wins, but only when that repository exists.
    ASSERT_EQ(orb::RegSetString(key, "RepositoryName", "Gone"), ERROR_SUCCESS);
    EXPECT_EQ(List(kernel_, ORBOM_ENUM_DEFAULT_FIRST)[0], "Zulu");
    ASSERT_EQ(orb::RegSetString(key, "RepositoryName", "Test"), ERROR_SUCCESS);
    EXPECT_EQ(List(kernel_, ORBOM_ENUM_DEFAULT_FIRST)[0], "Test");
    // Named in another spelling, it is still the default, as the repository spells it.
    ASSERT_EQ(orb::RegSetString(key, "RepositoryName", "TEST"), ERROR_SUCCESS);
    EXPECT_EQ(List(kernel_, ORBOM_ENUM_DEFAULT_FIRST),
              (std::vector<std::string>{"Test", "Alpha", "Zulu"}));
    EXPECT_EQ(List(kernel_, ORBOM_ENUM_BY_NAME)[0], "Alpha");

    char tiny[4];
    ASSERT_EQ(ORBOM_Repository_EnumBegin(kernel_, 1), 0);
    EXPECT_EQ(ORBOM_Repository_EnumNext(kernel_, tiny, sizeof tiny), ORBOM_RC_BUFFER_TOO_SMALL);
    EXPECT_EQ(ORBOM_Repository_EnumBegin(kernel_, 7), ORBOM_RC_INVALID_OPERATOR);
}

TEST_P(RepositoriesTest, EmptyMachineHasNoDefault) {
    orbtest::ScratchDir empty;
    orbtest::ScopedEnv env("ORB_MACHINE_ROOT", empty.path());
    char name[32];
    EXPECT_EQ(ORBOM_Repository_EnumNext(kernel_, name, sizeof name), ORBOM_RC_NO_SELECT);
    ASSERT_EQ(ORBOM_Repository_EnumBegin(kernel_, 1), 0);
    EXPECT_EQ(ORBOM_Repository_EnumNext(kernel_, name, sizeof name), ORBOM_RC_NO_MATCH);
}

TEST_P(RepositoriesTest, SignOnChecksAccountsAndStoresNoPassword) {
    ORBOM_CONNECTION c = 0;
    // Without accounts a sign-on is local access.
    ASSERT_EQ(ORBOM_Repository_ConnectAndSignOn(kernel_, "Test", &c, "anyone", ""), 0);
    ORBOM_Repository_Disconnect(&c);

    ASSERT_EQ(ORBOM_Account_Set(conn_, "operator", "Secret-Pass-42"), 0);
    EXPECT_EQ(ORBOM_Repository_ConnectAndSignOn(kernel_, "Test", &c, "operator", "wrong"),
              ORBOM_RC_REPOSITORY_LOGIN_FAILED);
    EXPECT_EQ(c, 0u);
    EXPECT_EQ(ORBOM_Repository_ConnectAndSignOn(kernel_, "Test", &c, "nobody", "Secret-Pass-42"),
              ORBOM_RC_REPOSITORY_LOGIN_FAILED);
    ASSERT_EQ(ORBOM_Repository_ConnectAndSignOn(kernel_, "Test", &c, "operator", "Secret-Pass-42"), 0);
    EXPECT_NE(c, 0u);
    ORBOM_Repository_Disconnect(&c);

    ORBOM_Repository_Disconnect(&conn_);  // the password must not be anywhere in the files
    if (OnPostgres()) return;
    for (const char* suffix : {".orb.db", ".orb.db-wal"}) {
        std::ifstream file(*root_ / (std::string("orbmap/Test") + suffix), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(file)), {});
        EXPECT_EQ(bytes.find("Secret-Pass-42"), std::string::npos) << suffix;
    }
}

NWOMAPI_ON_BOTH(RepositoriesTest);

}  // namespace
}  // namespace nwomapitest
