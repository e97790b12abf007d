// The library frame: exports by name, none handles, initialisation modes
// and the trace switch.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "backup/kstool/kstool.h"
#include "kestorb/KestCodes.h"
#include "platform/dynload.h"
#include "platform/registry.h"
#include "tests/kestorb/repo_fixture.h"
#include "tests/platform/damaged_hive.h"

namespace {

namespace fs = std::filesystem;
using kesttest::RepoTest;

constexpr const char* kIntegrationKey = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration";
constexpr const char* kPathKey = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path";

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(KestCodes, NamesFollowTheCallersTable) {
    EXPECT_STREQ(KestCodeName(0), "ORBOM_RC_SUCCESS");
    EXPECT_STREQ(KestCodeName(16), "ORBOM_RC_NO_MATCH");
    EXPECT_STREQ(KestCodeName(42), KestCodeName(43));
    EXPECT_STREQ(KestCodeName(61), "ORBOM_RC_REPOSITORY_CONNECTION_BUSY");
    EXPECT_STREQ(KestCodeName(62), "ORBOM_RC_REPOSITORY_CONNECTION_BUSY");
    EXPECT_STREQ(KestCodeName(67), "ORBOM_RC_INVALID_LENGTH");
    EXPECT_STREQ(KestCodeName(9000), "ORBOM_RC_INTERNAL1");
    EXPECT_STREQ(KestCodeName(9009), "ORBOM_RC_INTERNAL10");
    EXPECT_STREQ(KestCodeName(4097), "KESTORB_ERR_BAD_CONTEXT");
    EXPECT_STREQ(KestCodeName(4098), "KESTORB_ERR_ALREADY_EXISTS");
    for (int32_t code : {4099, 4100, 4101}) EXPECT_STREQ(KestCodeName(code), "KESTORB_ERR_NEW");
    EXPECT_STREQ(KestCodeName(4102), "KESTORB_ERR_GETPROCADDRESS");
    for (int32_t code : {-1, 68, 4096, 4103, 8999, 9010}) EXPECT_STREQ(KestCodeName(code), "UNKNOWN");
}

TEST(KestExports, AllFortyOneAreFoundByName) {
    HMODULE library = LoadLibraryA("KestOrb.DLL");
    ASSERT_NE(library, nullptr);
    const char* names[] = {
        "KestInit", "KestDeInit", "KestGetLastError", "KestAddObject", "KestDeleteObject_S",
        "KestDeleteObject_U", "KestGetObjectUUID", "KestSetStatus_S", "KestSetStatus_U",
        "KestOpenObject", "KestCloseObject", "KestSaveObject", "KestResetObject",
        "KestIsObjectOpened", "KestRefreshObject", "KestGetOpenObject", "KestGetPropString",
        "KestGetPropInt", "KestGetPropDouble", "KestGetPropUUID", "KestGetPropBool",
        "KestGetPropDateTime", "KestGetPropChar", "KestGetPropBinary", "KestSetPropString",
        "KestSetPropInt", "KestSetPropDouble", "KestSetPropUUID", "KestSetPropBool",
        "KestSetPropDateTime", "KestSetPropChar", "KestSetPropBinary", "KestEmEvt_wto",
        "KestBPVCreate", "KestBPVDelete", "KestBPVAddObject", "KestBPVAddInclusionObject",
        "KestBPVDeleteObject", "KestBPVPopulate", "KestBPVPopulateVLT_SAN", "KestInitEx"};
    static_assert(sizeof names / sizeof names[0] == 41);
    for (const char* name : names) EXPECT_NE(GetProcAddress(library, name), nullptr) << name;
    // The static parts linked into it stay inside it.
    EXPECT_EQ(GetProcAddress(library, "KsToolGetProductKey"), nullptr);
    FreeLibrary(library);
}

TEST(KestExports, NoneHandleAnswersBadContextEverywhere) {
    constexpr int32_t bad = KESTORB_ERR_BAD_CONTEXT;
    KestContext* none = nullptr;
    EXPECT_EQ(KestDeInit(nullptr), bad);
    EXPECT_EQ(KestDeInit(&none), bad);
    EXPECT_EQ(KestGetLastError(nullptr), bad);
    KestMachineRecord machine = kesttest::Machine("WindowsNT_Server", "HOST");
    UUID id{};
    int32_t count = 0, value = 0;
    double d = 0;
    char text[8] = {};
    uint32_t size = sizeof text;
    EXPECT_EQ(KestAddObject(nullptr, &machine, "Vaultline", "x", &id), bad);
    EXPECT_EQ(KestDeleteObject_S(nullptr, &machine, "Vaultline"), bad);
    EXPECT_EQ(KestDeleteObject_U(nullptr, "Vaultline", &id), bad);
    EXPECT_EQ(KestGetObjectUUID(nullptr, "Vaultline", &machine, &count, &id), bad);
    EXPECT_EQ(KestSetStatus_S(nullptr, &machine, "Vaultline", 1), bad);
    EXPECT_EQ(KestSetStatus_U(nullptr, "Vaultline", &id, 1), bad);
    EXPECT_EQ(KestOpenObject(nullptr, "Vaultline", &id), bad);
    EXPECT_EQ(KestCloseObject(nullptr, 1), bad);
    EXPECT_EQ(KestSaveObject(nullptr), bad);
    EXPECT_EQ(KestResetObject(nullptr), bad);
    EXPECT_EQ(KestRefreshObject(nullptr), bad);
    EXPECT_EQ(KestIsObjectOpened(nullptr), bad);
    EXPECT_EQ(KestGetOpenObject(nullptr, text, &id), bad);
    EXPECT_EQ(KestGetPropString(nullptr, "name", text, &value, &size), bad);
    EXPECT_EQ(KestGetPropInt(nullptr, "status", &value, &count), bad);
    EXPECT_EQ(KestGetPropDouble(nullptr, "d", &d, &count), bad);
    EXPECT_EQ(KestGetPropUUID(nullptr, "uuid", &id, &count), bad);
    EXPECT_EQ(KestGetPropBool(nullptr, "b", &value, &count), bad);
    EXPECT_EQ(KestGetPropDateTime(nullptr, "t", text, &value, &size), bad);
    EXPECT_EQ(KestGetPropChar(nullptr, "c", text, &count), bad);
    EXPECT_EQ(KestGetPropBinary(nullptr, "b", text, &value, &size), bad);
    EXPECT_EQ(KestSetPropString(nullptr, "name", "x", 0), bad);
    EXPECT_EQ(KestSetPropInt(nullptr, "status", 1, 0), bad);
    EXPECT_EQ(KestSetPropDouble(nullptr, "d", 1.5, 0), bad);
    EXPECT_EQ(KestSetPropUUID(nullptr, "uuid", &id, 0), bad);
    EXPECT_EQ(KestSetPropBool(nullptr, "b", 1, 0), bad);
    EXPECT_EQ(KestSetPropDateTime(nullptr, "t", "x", 0), bad);
    EXPECT_EQ(KestSetPropChar(nullptr, "c", 'x', 0), bad);
    EXPECT_EQ(KestSetPropBinary(nullptr, "b", text, 0, 1), bad);
    EXPECT_EQ(KestBPVCreate(nullptr, "View", &id), bad);
    EXPECT_EQ(KestBPVDelete(nullptr, "View"), bad);
    EXPECT_EQ(KestBPVPopulate(nullptr, "View", "Vaultline"), bad);
    EXPECT_EQ(KestBPVAddObject(nullptr, "View", "Vaultline", &id), bad);
    EXPECT_EQ(KestBPVDeleteObject(nullptr, "View", "Vaultline", &id), bad);
    EXPECT_EQ(KestBPVPopulateVLT_SAN(nullptr, "View"), bad);
    EXPECT_EQ(KestBPVAddInclusionObject(nullptr, "View", "Vaultline", &id), bad);
}

using ContextTest = RepoTest;

TEST_F(ContextTest, FlagsChooseBetweenDefaultRepositoryAndSignOn) {
    // Two repositories: the empty name with flags 1 takes the first listed.
    ASSERT_EQ(ORBOM_Repository_Create(repo_.kernel(), "zulu"), 0);
    ASSERT_EQ(KestInitEx(&ctx_, "", nullptr, nullptr, 0, 1), 0);
    UUID view{};
    ASSERT_EQ(KestBPVCreate(ctx_, "Probe View", &view), 0);
    EXPECT_EQ(repo_.Count("BusinessView", {{"name", std::string("Probe View")}}), 1u);
    EXPECT_EQ(KestIsObjectOpened(ctx_), 2);
    EXPECT_EQ(KestGetLastError(ctx_), 0);
    ASSERT_EQ(KestDeInit(&ctx_), 0);
    EXPECT_EQ(ctx_, nullptr);

    // Flags 0 signs on with the caller's account.
    ASSERT_EQ(ORBOM_Account_Set(repo_.connection(), "operator", "secret"), 0);
    KestContext* refused = reinterpret_cast<KestContext*>(0x1);
    EXPECT_EQ(KestInit(&refused, kesttest::kRepository, "operator", "wrong", 0),
              ORBOM_RC_REPOSITORY_LOGIN_FAILED);
    EXPECT_EQ(refused, nullptr);
    ASSERT_EQ(KestInit(&ctx_, kesttest::kRepository, "operator", "secret", 0), 0);
    EXPECT_NE(ctx_, nullptr);
}

TEST_F(ContextTest, FailedConnectionLeavesNoContext) {
    KestContext* ctx = reinterpret_cast<KestContext*>(0x1);
    EXPECT_EQ(KestInitEx(&ctx, "missing", "", "", 0, 1), ORBOM_RC_INVALID_REPOSITORY);
    EXPECT_EQ(ctx, nullptr);
    EXPECT_EQ(KestInitEx(nullptr, kesttest::kRepository, "", "", 0, 1), KESTORB_ERR_BAD_CONTEXT);
}

// The trace switch and the repository's placement are in the registry: on
// a damaged hive the context would run untraced on a local repository.
TEST_F(ContextTest, ADamagedHiveLeavesNoContextAndTracesWhy) {
    ASSERT_EQ(orb::RegSetDword(kIntegrationKey, "Debug", 0), ERROR_SUCCESS);
    ASSERT_TRUE(orbtest::DamageHiveHeader(dir_.path()));
    KestContext* ctx = reinterpret_cast<KestContext*>(0x1);
    for (uint32_t flags : {0u, 1u}) {
        EXPECT_EQ(KestInitEx(&ctx, kesttest::kRepository, "", "", 0, flags),
                  KESTORB_ERR_NEW);
        EXPECT_EQ(ctx, nullptr);
    }
    const std::string text = ReadFile(dir_ / "tmp/KestOrb.TRC");
    EXPECT_NE(text.find("\tInitialize() - Error reading the registry: the registry hive is "
                        "damaged [1009]\r\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Initialize() - Success"), std::string::npos) << text;
}

class TraceTest : public RepoTest {
protected:
    std::string TempTrace() const { return dir_ / "tmp/KestOrb.TRC"; }
    void InitAndDeInit() {
        ASSERT_EQ(KestInitEx(&ctx_, kesttest::kRepository, "", "", 0, 1), 0);
        ASSERT_EQ(KestDeInit(&ctx_), 0);
    }
};

TEST_F(TraceTest, OnlyDebugOneSwitchesTracingOn) {
    InitAndDeInit();
    EXPECT_FALSE(fs::exists(TempTrace()));
    ASSERT_EQ(orb::RegSetDword(kIntegrationKey, "Debug", 2), ERROR_SUCCESS);
    InitAndDeInit();
    EXPECT_FALSE(fs::exists(TempTrace()));

    ASSERT_EQ(orb::RegSetDword(kIntegrationKey, "Debug", 1), ERROR_SUCCESS);
    InitAndDeInit();
    std::string text = ReadFile(TempTrace());
    // Each run opens with an empty stamped line, then the stamped steps;
    // the wrappers' own lines carry no stamp.
    std::regex stamped(R"(^\d\d/\d\d/\d\d \d\d:\d\d:\d\d\t\n\n\r\n)");
    EXPECT_TRUE(std::regex_search(text, stamped)) << text;
    std::regex success(R"(\d\d/\d\d/\d\d \d\d:\d\d:\d\d\tInitialize\(\) - Success\r\n)");
    EXPECT_TRUE(std::regex_search(text, success)) << text;
    EXPECT_NE(text.find("\nCOrbKernel::Start() - Starting the Kernel for client [PID("),
              std::string::npos);
    EXPECT_NE(text.find("\nCOrbRepository::Connect() - Connecting to repository [orbtest]\n"),
              std::string::npos);
    EXPECT_NE(text.find("\tDeInitialize() - Success\r\n"), std::string::npos);
}

TEST_F(TraceTest, LogDirectoryIsUsedAndAnUnusableOneIsHarmless) {
    ASSERT_EQ(orb::RegSetDword(kIntegrationKey, "Debug", 1), ERROR_SUCCESS);
    std::string logs = dir_ / "logs";
    fs::create_directories(logs);
    ASSERT_EQ(orb::RegSetString(kPathKey, "LOG", logs + "/"), ERROR_SUCCESS);
    InitAndDeInit();
    EXPECT_NE(ReadFile(logs + "/KestOrb.TRC").find("Initialize() - Success"), std::string::npos);
    EXPECT_FALSE(fs::exists(TempTrace()));

    ASSERT_EQ(orb::RegSetString(kPathKey, "LOG", dir_ / "no/such/dir"), ERROR_SUCCESS);
    InitAndDeInit();
    // Too long for the trace path: the temporary directory takes over.
    ASSERT_EQ(orb::RegSetString(kPathKey, "LOG", "/" + std::string(255, 'd')), ERROR_SUCCESS);
    InitAndDeInit();
    EXPECT_TRUE(fs::exists(TempTrace()));
}

TEST_F(TraceTest, AFullTraceIsMovedAsideAndBegunAnew) {
    ASSERT_EQ(orb::RegSetDword(kIntegrationKey, "Debug", 1), ERROR_SUCCESS);
    fs::create_directories(dir_ / "tmp");
    { std::ofstream(TempTrace()) << "old run\n"; }
    fs::resize_file(TempTrace(), KSTOOL_TRACE_ROTATE_BYTES);
    InitAndDeInit();
    EXPECT_EQ(fs::file_size(TempTrace() + ".1"), KSTOOL_TRACE_ROTATE_BYTES);
    const std::string text = ReadFile(TempTrace());
    EXPECT_EQ(text.find("old run"), std::string::npos);
    EXPECT_NE(text.find("\tDeInitialize() - Success\r\n"), std::string::npos);
    EXPECT_LT(text.size(), 64u * 1024u);
}

TEST_F(TraceTest, LongMessagesAreCutToTheLine) {
    ASSERT_EQ(orb::RegSetDword(kIntegrationKey, "Debug", 1), ERROR_SUCCESS);
    Open();
    std::string name(600, 'v');
    EXPECT_EQ(KestBPVDelete(ctx_, name.c_str()), ORBOM_RC_NO_MATCH);
    EXPECT_EQ(KestGetLastError(ctx_), ORBOM_RC_NO_MATCH);
    std::istringstream lines(ReadFile(TempTrace()));
    std::string line;
    bool sawCut = false;
    while (std::getline(lines, line, '\n')) {
        if (line.find("BPVDelete() - [vvv") == std::string::npos) continue;
        sawCut = true;
        // 495 characters with "\r\n", so the line and its terminator fit 496.
        EXPECT_EQ(line.size() + 1, 495u);
        EXPECT_EQ(line.back(), '\r');
    }
    EXPECT_TRUE(sawCut);
}

}  // namespace
