// The setup class library and the branding library on a machine root and
// its sibling machines.
#include "backup/setupcls/setupcls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "backup/brand/brand.h"
#include "platform/registry.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace {

const std::string kPath = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path";
const std::string kVersion = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Version";

using orbtest::BinDir;

class SetupClassesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(dir_ / "LOCAL");
        std::filesystem::create_directories(dir_ / "VAULT02");
    }
    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_ / "LOCAL"};
    orbtest::ScopedEnv name_{"ORB_COMPUTERNAME", "LOCAL"};
};

TEST_F(SetupClassesTest, TheRegistryOfAnotherMachineIsThatMachinesRoot) {
    ASSERT_EQ(orb::RegSetString(kPath, "HOME", "/local/home"), ERROR_SUCCESS);
    {
        orbtest::ScopedEnv remote("ORB_MACHINE_ROOT", dir_ / "VAULT02");
        ASSERT_EQ(orb::RegSetString(kPath, "HOME", "/vault02/home"), ERROR_SUCCESS);
        orb::RegSetDword(kVersion, "ProductCode", 32);
        orb::RegSetDword(kVersion, "Major", 7);
        orb::RegSetDword(kVersion, "Minor", 2);
        orb::RegSetDword(kVersion, "Build", 1234);
        orb::RegSetDword(kVersion, "Edition", 3);
    }
    CKestRegistry local;
    EXPECT_EQ(local.GetVaultlineHomeDir(), "/local/home");
    tagProductStruct product{};
    EXPECT_FALSE(local.GetVaultlineProductInfo(&product));

    CKestRegistry remote(TRUE, "vault02");
    ASSERT_TRUE(remote.IsConnected());
    EXPECT_EQ(remote.GetVaultlineHomeDir(), "/vault02/home");
    ASSERT_TRUE(remote.GetVaultlineProductInfo(&product));
    const BYTE* bytes = reinterpret_cast<const BYTE*>(&product);
    EXPECT_EQ(product.dwProductCode, 32u);
    EXPECT_EQ(bytes[9], 7);
    EXPECT_EQ(bytes[12], 3);
    EXPECT_EQ(remote.GetVaultlineVersionNumber(), 0x0702);
    EXPECT_EQ(remote.GetVaultlineBuildNumber(), 1234);
    EXPECT_FALSE(remote.IsVaultlineManagerInstalled());

    CKestRegistry missing(TRUE, "\\\\NOWHERE");
    EXPECT_FALSE(missing.IsConnected());
    EXPECT_EQ(missing.GetVaultlineHomeDir(), "");
    EXPECT_FALSE(missing.AddVaultlineKey("OrbIntegration"));
}

TEST_F(SetupClassesTest, HomeDirectoryBufferAndProductKeysStayWithinBounds) {
    ASSERT_EQ(orb::RegSetString(kPath, "HOME", std::string(400, 'h')), ERROR_SUCCESS);
    char buffer[MAX_PATH + 8];
    std::memset(buffer, '#', sizeof(buffer));
    // A home longer than the product's buffer is no home: a cut path would
    // name another directory.
    EXPECT_FALSE(CKestRegistry::GetVaultlineHomeDir(buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(buffer[MAX_PATH], '#');
    ASSERT_EQ(orb::RegSetString(kPath, "HOME", std::string(MAX_PATH - 1, 'h')), ERROR_SUCCESS);
    EXPECT_TRUE(CKestRegistry::GetVaultlineHomeDir(buffer));
    EXPECT_EQ(std::strlen(buffer), static_cast<size_t>(MAX_PATH - 1));

    CKestRegistry registry;
    EXPECT_TRUE(registry.AddVaultlineKey("OrbIntegration"));
    const DWORD all = 0xFFFFFFFF;
    EXPECT_TRUE(registry.SetVaultlineKeyValue("OrbIntegration", "Support", REG_DWORD,
                                              reinterpret_cast<const BYTE*>(&all), sizeof(all)));
    DWORD support = 0;
    orb::RegGetDword(std::string(CKestRegistry::m_sVaultlineKey) + "\\OrbIntegration", "Support",
                     &support);
    EXPECT_EQ(support, all);
    EXPECT_TRUE(registry.DeleteVaultlineKey("OrbIntegration"));
    EXPECT_FALSE(registry.DeleteVaultlineKey(""));  // never the product's own key
    EXPECT_EQ(registry.GetProductCode("SentinexOrbIntegration"), 0u);
    orb::RegSetDword(std::string(CKestRegistry::m_sVaultlineKey) + "\\Products\\SentinexOrbIntegration",
                     "ProductCode", 77);
    EXPECT_EQ(registry.GetProductCode("SentinexOrbIntegration"), 77u);
}

TEST_F(SetupClassesTest, VersionRecordsAreReadFromTheFile) {
    const DWORD version = SetupCLSGetVersionBuildNumber((BinDir() + "/VLVCTL.DLL").c_str());
    EXPECT_EQ(version & 0xFFFF, 0x0700u);
    EXPECT_GT(version >> 16, 0u);
    EXPECT_EQ(SetupCLSGetVersionBuildNumber((BinDir() + "\\libVLVCTL.so").c_str()), version);

    std::ofstream(dir_ / "bad.dll") << "$VLVERSION:7.0$ $VLVERSION:300.1.2$ $VLVERSION:6.1.99$";
    EXPECT_EQ(SetupCLSGetVersionBuildNumber((dir_ / "bad.dll").c_str()), (99u << 16) | 0x0601u);
    std::ofstream(dir_ / "none.dll") << "no record here";
    EXPECT_EQ(SetupCLSGetVersionBuildNumber((dir_ / "none.dll").c_str()), 0u);
    EXPECT_EQ(SetupCLSGetVersionBuildNumber((dir_ / "missing.dll").c_str()), 0u);
}

TEST_F(SetupClassesTest, SettingsReadTheMediaAndTheBrandTheRegistry) {
    std::ofstream(dir_ / "setup.inf") << "[Setup]\nProductSubType=4\nStatusMailslot=master\n";
    tagSETUP_INFO info{};
    std::memcpy(info.bytes + kSetupInfoDirectory, dir_.path().c_str(), dir_.path().size());
    std::memcpy(info.bytes + kSetupInfoLogFile, "C:\\ORBF.LOG", 11);
    CSettings settings(info, 0);
    settings.Initialize();
    EXPECT_EQ(settings.GetSetupDir(), dir_.path() + "/");
    EXPECT_EQ(settings.GetMailslotName(), "master");
    EXPECT_FALSE(settings.IsVaultlineInstalled());
    EXPECT_TRUE(std::filesystem::exists(dir_ / "LOCAL/drive_c/ORBF.LOG"));
    CSetupInf inf;
    inf.SetVLTsetupINFName((dir_ / "SETUP.INF").c_str());
    EXPECT_EQ(inf.GetProductSubType(), 4);

    char name[BRAND_BUFFER_SIZE];
    EXPECT_TRUE(BrandGetProductShortName(name));
    EXPECT_STREQ(name, "Vaultline");
    orb::RegSetString("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Brand", "ShortName",
                      std::string(500, 'B'));
    EXPECT_TRUE(BrandGetProductShortName(name));
    EXPECT_EQ(std::strlen(name), static_cast<size_t>(BRAND_BUFFER_SIZE - 1));
}

}  // namespace
