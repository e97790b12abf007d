// The gate checks: who may install, on which machines, with which media.
#include <cstring>
#include <string>

#include "platform/mailslot.h"
#include "setup/OrbfGUI.h"
#include "tests/setup/setup_machine.h"

extern "C" const char* OrbResourceString(unsigned id);

namespace {

using setuptest::SetupMachine;

std::string TextOf(unsigned id) {
    const char* text = OrbResourceString(id);
    return text != nullptr ? text : "";
}

class AllowInstallTest : public SetupMachine {
  protected:
    // A machine that passes every check with media of sub-type 0.
    void FullMachine() {
        Product();
        Orbmap();
        MediaSubType(0);
    }
};

TEST_F(AllowInstallTest, AnAdministratorOnACompleteMachineIsAllowedAndGetsTheProperties) {
    FullMachine();
    EXPECT_EQ(AllowInstall(Handle()), 0u);
    EXPECT_EQ(Property("INSTALLDIR"), Home());
    EXPECT_EQ(Property("REGLMROOTKEY"), "Lumora Vaultline Backup");
    EXPECT_EQ(Property("PRODLONGNAME"), "Lumora Vaultline Backup");
    EXPECT_EQ(Property("PRODINITNAME"), "LVB");
    EXPECT_EQ(Property("ERRORMSG"), "");
}

TEST_F(AllowInstallTest, ANonAdministratorIsRefusedWith772And4097) {
    if (geteuid() != 0) GTEST_SKIP() << "switching users needs the superuser";
    FullMachine();
    UINT result = 0;
    setuptest::AsUnprivilegedUser(root_.path(), [&] { result = AllowInstall(Handle()); });
    EXPECT_EQ(result, static_cast<UINT>(ORBF_NOT_ADMINISTRATOR));
    EXPECT_EQ(Property("ERRORMSG"), TextOf(772));
}

TEST_F(AllowInstallTest, RefusalsNameTheirReasonAndReportItToTheMailslot) {
    Product();
    MediaSubType(0, "StatusMailslot=setupstatus\n");
    orb::MailslotReader mailslot;
    ASSERT_TRUE(mailslot.Open("setupstatus"));
    EXPECT_EQ(AllowInstall(Handle()), static_cast<UINT>(ORBF_REFUSED));  // no Orbmap
    EXPECT_EQ(Property("ERRORMSG"), TextOf(887));
    std::string datagram;
    ASSERT_TRUE(mailslot.Read(&datagram, 2000));
    EXPECT_EQ(datagram, "ORBTEST\\1\\1");
    ASSERT_TRUE(mailslot.Read(&datagram, 2000));
    EXPECT_EQ(datagram, "ORBTEST\\1\\3");

    Orbmap();
    orb::RegSetDword(setuptest::kVersionKey, "Manager", 0);
    EXPECT_EQ(AllowInstall(Handle()), static_cast<UINT>(ORBF_REFUSED));
    EXPECT_EQ(Property("ERRORMSG"), TextOf(838));
}

TEST_F(AllowInstallTest, TheFrameworkVersionDecidesWhereOrbfdirComesFrom) {
    FullMachine();
    session_->SetProperty("ORBFDIR", "as before");
    Framework(3, "/opt/sentinex");
    {
        orbtest::ScopedEnv unset("FIELDKIT_DIR", "");
        unsetenv("FIELDKIT_DIR");
        EXPECT_EQ(AllowInstall(Handle()), 0u);
        EXPECT_EQ(Property("ORBFDIR"), "as before");
    }
    {
        orbtest::ScopedEnv fieldkit("FIELDKIT_DIR", "/opt/fieldkit");
        EXPECT_EQ(AllowInstall(Handle()), 0u);
        EXPECT_EQ(Property("ORBFDIR"), "/opt/fieldkit");
    }
    Framework(4, "/opt/sentinex");
    EXPECT_EQ(AllowInstall(Handle()), 0u);
    EXPECT_EQ(Property("ORBFDIR"), "/opt/sentinex");
    EXPECT_NE(session_->LogText().find(" AllowInstall() - MajorVersion of sentinex is 4\n"),
              std::string::npos);
    EXPECT_NE(session_->LogText().find(" AllowInstall() - szOrbWorkDir = /opt/sentinex\n"),
              std::string::npos);
}

TEST_F(AllowInstallTest, EnterpriseMediaCheckTheSystemVersionFirstThenSnmpAndOrbmap) {
    FullMachine();
    MediaSubType(3);
    SystemVersion("5.1");
    EXPECT_EQ(AllowInstall(Handle()), static_cast<UINT>(ORBF_REFUSED));
    EXPECT_EQ(Property("ERRORMSG"), TextOf(1435));  // no SNMP service either

    SystemVersion("5.2");
    EXPECT_EQ(AllowInstall(Handle()), static_cast<UINT>(ORBF_REFUSED));
    EXPECT_EQ(Property("ERRORMSG"), TextOf(884));

    SnmpService(false);
    EXPECT_EQ(AllowInstall(Handle()), 0u);
    EXPECT_EQ(Property("ORBORBMAPINSTALLED"), "10");
    EXPECT_EQ(Property("MONITORAGENT"), "0");
}

// Empty directory properties name the current folder; only a property that
// cannot be read sends the actions to the setup program's own folder.
TEST_F(AllowInstallTest, TheProgramsFolderStandsInOnlyForAPropertyThatCannotBeRead) {
    FullMachine();
    // Media in the current folder that need the SNMP service, which this
    // machine lacks; the build's own media beside the program are of sub-type 0.
    std::ofstream(Media() + "/SETUP.INF") << "[Setup]\nProductSubType=3\n";
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(Media());
    session_->SetProperty("SOURCEDIR", "");
    session_->SetProperty("SETUPDIR", "");
    const UINT fromCurrentFolder = AllowInstall(Handle());
    const std::string refusal = Property("ERRORMSG");
    session_->SetProperty("SETUPDIR", std::string(MAX_PATH + 10, 'x'));
    const UINT fromProgramFolder = AllowInstall(Handle());
    std::filesystem::current_path(before);
    EXPECT_EQ(fromCurrentFolder, static_cast<UINT>(ORBF_REFUSED));
    EXPECT_EQ(refusal, TextOf(884));
    EXPECT_EQ(fromProgramFolder, 0u);
}

TEST_F(AllowInstallTest, AllowUninstallIsForAdministratorsAndNamesTheProduct) {
    EXPECT_EQ(AllowUninstall(Handle()), 0u);
    EXPECT_EQ(Property("REGPRODNAME"), "OrbIntegration");
    if (geteuid() != 0) return;
    session_->SetProperty("REGPRODNAME", "");
    UINT result = 0;
    setuptest::AsUnprivilegedUser(root_.path(), [&] { result = AllowUninstall(Handle()); });
    EXPECT_EQ(result, 1602u);
    EXPECT_EQ(Property("ERRORMSG"), TextOf(772));
    EXPECT_EQ(Property("REGPRODNAME"), "");
}

class MasterSetupTest : public SetupMachine {
  protected:
    void SetUp() override {
        SetupMachine::SetUp();
        std::memset(record_, 0, sizeof(record_));
        std::memset(message_, '#', sizeof(message_));
    }
    int32_t IntAt(size_t offset) const {
        int32_t value;
        std::memcpy(&value, record_ + offset, sizeof(value));
        return value;
    }
    void SetIntAt(size_t offset, int32_t value) { std::memcpy(record_ + offset, &value, 4); }
    char record_[ORBF_RECORD_SIZE];
    char message_[ORBF_MESSAGE_SIZE + 16];
};

TEST_F(MasterSetupTest, AllowInstallationTakesEditionsThreeAndFourForEachOther) {
    Product(25, 7, 4);
    MediaSubType(3);
    InitRes(nullptr);
    PreInstall(Handle());  // the settings name the media
    EXPECT_EQ(AllowInstallation("ORBTEST", nullptr, nullptr, message_, nullptr, record_), 1);
    EXPECT_STREQ(record_ + ORBF_RECORD_HOME_DIR, Home().c_str());
    EXPECT_EQ(IntAt(ORBF_RECORD_NOTICE), 0);

    MediaSubType(1);
    EXPECT_EQ(AllowInstallation("orbtest", nullptr, nullptr, message_, nullptr, record_), 0);
    EXPECT_STREQ(message_,
                 "The backup product on orbtest is not the Standard edition this setup requires.");
}

TEST_F(MasterSetupTest, AllowInstallationRefusesOtherProductsAndCutsItsMessage) {
    Product(68, 7, 0);
    PreInstall(Handle());
    EXPECT_EQ(AllowInstallation(nullptr, nullptr, nullptr, message_, nullptr, record_), 0);
    EXPECT_NE(std::string(message_).find("cannot take the integration"), std::string::npos);

    Product(25, 6, 0);
    const std::string longName(3000, 'M');
    EXPECT_EQ(AllowInstallation(longName.c_str(), nullptr, nullptr, message_, nullptr, record_), 0);
    EXPECT_EQ(std::strlen(message_), static_cast<size_t>(ORBF_MESSAGE_SIZE - 1));
    EXPECT_EQ(message_[ORBF_MESSAGE_SIZE], '#');
}

TEST_F(MasterSetupTest, CheckInstallInfoWithoutACheckFlagLooksAtNothing) {
    // A machine that does not exist would answer 0 once it is looked at.
    EXPECT_EQ(CheckInstallInfo("NOWHERE", nullptr, nullptr, message_, 64, record_, "", "", 0),
              ORBF_CHECK_NOTHING_TO_DO);
    EXPECT_EQ(message_[0], '\0');
    EXPECT_EQ(CheckInstallInfo("NOWHERE", nullptr, nullptr, message_, 64, record_, "", "", 1),
              ORBF_CHECK_NOT_QUALIFIED);
    EXPECT_EQ(CheckInstallInfo(nullptr, nullptr, nullptr, message_, 64, nullptr, "", "", 1),
              ORBF_CHECK_NOTHING_TO_DO);
}

TEST_F(MasterSetupTest, CheckInstallInfoWritesNoMoreThanItsSize) {
    Product();
    EXPECT_EQ(CheckInstallInfo(nullptr, nullptr, nullptr, message_, 10, record_, "", "", 1),
              ORBF_CHECK_CANNOT_INSTALL);  // no SNMP service
    EXPECT_EQ(std::string(message_), TextOf(884).substr(0, 9));
    EXPECT_EQ(message_[10], '#');
}

TEST_F(MasterSetupTest, WithoutTheManagerOnlyTheSoftRequirementAllowsMode4) {
    Product(25, 7, 0, false);
    Orbmap();
    SnmpService(false);
    const std::string media = Media() + "/";
    MediaSubType(0, "SoftRequires=Server\n");
    const std::string list = Media() + "/products.ini";
    std::ofstream(list) << "[Install]\nProductList=Agent,Server,Console\n";
    EXPECT_EQ(CheckInstallInfo("orbtest", nullptr, nullptr, message_, 64, record_, list.c_str(),
                               media.c_str(), 1),
              ORBF_CHECK_NOTHING_TO_DO);
    SetIntAt(ORBF_RECORD_INSTALL_MODE, 4);
    EXPECT_EQ(CheckInstallInfo("orbtest", nullptr, nullptr, message_, 64, record_, list.c_str(),
                               media.c_str(), 1),
              ORBF_CHECK_INSTALL);
    std::ofstream(list) << "[Install]\nProductList=Agent,server\n";
    EXPECT_EQ(CheckInstallInfo("orbtest", nullptr, nullptr, message_, 64, record_, list.c_str(),
                               media.c_str(), 1),
              ORBF_CHECK_CANNOT_INSTALL);
}

TEST_F(MasterSetupTest, AnInstalledIntegrationOfAnotherReleaseIsAVersionConflict) {
    Product(25, 6, 0);
    Orbmap();
    SnmpService(false);
    orb::RegSetDword(setuptest::kProductKey + "\\OrbIntegration", "Support", 0xFFFFFFFF);
    EXPECT_EQ(CheckInstallInfo(nullptr, nullptr, nullptr, message_, sizeof(message_), record_, "",
                               "", 1),
              ORBF_CHECK_VERSION_CONFLICT);
    EXPECT_NE(std::string(message_).find("version"), std::string::npos);
}

TEST_F(MasterSetupTest, LocalMachineWithTheMediaReleaseAsksTheInstallerWhetherItIsInstalled) {
    Product(25, 7, 0);
    Orbmap();
    SnmpService(false);
    MediaSubType(0);
    MediaLibrary();
    const std::string media = Media() + "/";
    EXPECT_EQ(CheckInstallInfo("ORBTEST", nullptr, nullptr, message_, 256, record_, "",
                               media.c_str(), 1),
              ORBF_CHECK_NOTHING_TO_DO);
    EXPECT_STREQ(record_ + ORBF_RECORD_HOME_DIR, Home().c_str());
    orb::RegisterInstalledProduct(ORBF_PRODUCT_CODE, "integration", "1.0");
    EXPECT_EQ(CheckInstallInfo("ORBTEST", nullptr, nullptr, message_, 256, record_, "",
                               media.c_str(), 1),
              ORBF_CHECK_INSTALLED);
    EXPECT_EQ(IntAt(ORBF_RECORD_NOTICE), 1);
    EXPECT_EQ(std::string(message_), TextOf(788));  // shown as the text stands
}

TEST_F(MasterSetupTest, ARemoteMachineWithTheUninstallEntryHasTheIntegrationAlready) {
    {
        orbtest::ScopedEnv remote("ORB_MACHINE_ROOT", root_.path() + "/REMOTE");
        std::filesystem::create_directories(root_.path() + "/REMOTE");
        Product(25, 7, 0);
        Orbmap();
        orb::RegSetDword("System\\CurrentControlset\\Services\\SNMP", "Start", 2);
        orb::RegSetString(std::string("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") +
                              ORBF_PRODUCT_CODE,
                          "DisplayName", "integration");
    }
    MediaSubType(0);
    MediaLibrary();
    const std::string media = Media() + "/";
    EXPECT_EQ(
        CheckInstallInfo("REMOTE", nullptr, nullptr, message_, 256, record_, "", media.c_str(), 1),
        ORBF_CHECK_INSTALLED);
    EXPECT_EQ(std::string(message_), TextOf(788));
    EXPECT_EQ(IntAt(ORBF_RECORD_NOTICE), 1);
}

TEST_F(MasterSetupTest, GetProductInfoFillsTheRecord) {
    SetIntAt(ORBF_RECORD_FLAG_B, 9);
    EXPECT_EQ(GetProductInfo(record_), 1);
    EXPECT_EQ(std::string(record_), TextOf(1509));
    EXPECT_EQ(IntAt(ORBF_RECORD_FLAG_A), 1);
    EXPECT_EQ(IntAt(ORBF_RECORD_FLAG_B), 0);
    EXPECT_EQ(CreateConfigProfile(), 1);
}

}  // namespace
