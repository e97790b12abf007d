// Installation and removal: the integration key, the extension-agent list,
// the SNMP service around it, the configuration tool and the reboot request.
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/mailslot.h"
#include "setup/OrbfGUI.h"
#include "tests/setup/setup_machine.h"

namespace {

using setuptest::kAgentKey;
using setuptest::kAgentList;
using setuptest::kProductKey;

class ConfigureTest : public setuptest::SetupMachine {
  protected:
    void SetUp() override {
        SetupMachine::SetUp();
        Product();
        Orbmap();
        SnmpService(true);
        // The framework's configuration tool, leaving a mark when it runs.
        Framework(4, Root() + "/Sentinex");
        std::filesystem::create_directories(Root() + "/Sentinex/Bin");
        tool_ = Root() + "/Sentinex/Bin/OrbConfig";
        std::ofstream(tool_) << "#!/bin/sh\necho ran >> \"" << Mark() << "\"\n";
        std::filesystem::permissions(tool_, std::filesystem::perms::owner_all);
    }
    std::string Mark() const { return Root() + "/orbconfig.ran"; }
    bool ToolRan() const { return std::filesystem::exists(Mark()); }
    std::vector<orb::RegValue> Agents() const {
        std::vector<orb::RegValue> values;
        orb::RegReadValues(kAgentList, &values);
        return values;
    }
    std::string AgentValue(const std::string& name) const {
        std::string data;
        orb::RegGetString(kAgentList, name, &data);
        return data;
    }
    DWORD RebootMarker() const {
        DWORD marker = 0;
        orb::RegGetDword(kProductKey, "Reboot", &marker);
        return marker;
    }
    std::string tool_;
};

TEST_F(ConfigureTest, PostInstallRegistersTheAgentRestartsSnmpAndRunsTheConfigurationTool) {
    orb::RegSetString(kAgentList, "1", "SOFTWARE\\Other\\One");
    orb::RegSetString(kAgentList, "2", "SOFTWARE\\Other\\Two");
    orb::RegSetString(kAgentList, "5", "SOFTWARE\\Other\\Five");
    EXPECT_EQ(PostInstall(Handle()), 0u);

    DWORD support = 0;
    EXPECT_EQ(orb::RegGetDword(kProductKey + "\\OrbIntegration", "Support", &support), ERROR_SUCCESS);
    EXPECT_EQ(support, 0xFFFFFFFFu);
    EXPECT_EQ(AgentValue("6"), kAgentKey);
    std::string pathname;
    orb::RegGetString(kAgentKey, "Pathname", &pathname);
    EXPECT_EQ(pathname, Home() + "\\lmEBAgent.dll");
    EXPECT_EQ(SnmpState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(ToolRan());
    const std::string log = session_->LogText();
    EXPECT_NE(log.find("PostInstall() - Stopping SNMP Service...\n"), std::string::npos);
    EXPECT_NE(log.find("PostInstall() - Launch " + Root() + "/Sentinex\\Bin\\OrbConfig.exe\n"),
              std::string::npos);

    // Second run: registered already; SNMP is restarted, nothing else happens.
    std::filesystem::remove(Mark());
    session_->SetProperty("REBOOT", "Force");
    EXPECT_EQ(PostInstall(Handle()), static_cast<UINT>(ORBF_REFUSED));
    EXPECT_FALSE(ToolRan());
    EXPECT_EQ(RebootMarker(), 0u);
    EXPECT_EQ(SnmpState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(Agents().size(), 4u);
}

TEST_F(ConfigureTest, AnUnnamedAgentCountsAsNumberZero) {
    orb::RegSetString(kAgentList, "", "SOFTWARE\\Other\\Unnamed");
    session_->SetProperty("UILevel", "2");
    EXPECT_EQ(PostInstall(Handle()), 0u);
    EXPECT_EQ(AgentValue("1"), kAgentKey);
    EXPECT_FALSE(ToolRan());  // silent installation
}

TEST_F(ConfigureTest, LongAgentListsLoseNothing) {
    // 150 agents, this one among them at 130: found, not added twice.
    for (int i = 1; i <= 150; ++i)
        orb::RegSetString(kAgentList, std::to_string(i),
                          i == 130 ? kAgentKey : "SOFTWARE\\Other\\Agent" + std::to_string(i));
    EXPECT_EQ(PostInstall(Handle()), static_cast<UINT>(ORBF_REFUSED));
    EXPECT_EQ(Agents().size(), 150u);

    orb::RegRemoveValue(kAgentList, "130");
    EXPECT_EQ(PostInstall(Handle()), 0u);
    EXPECT_EQ(AgentValue("151"), kAgentKey);

    // Removal finds it past the hundredth value and keeps every other agent.
    orb::RegRemoveKey(kProductKey + "\\OrbIntegration");
    EXPECT_EQ(PreUninstall(Handle()), static_cast<UINT>(ORBF_REFUSED));
    EXPECT_EQ(Agents().size(), 149u);
    EXPECT_EQ(AgentValue("151"), "");
    EXPECT_EQ(AgentValue("150"), "SOFTWARE\\Other\\Agent150");
    std::vector<orb::RegValue> agentKey;
    EXPECT_NE(orb::RegReadValues(kAgentKey, &agentKey), ERROR_SUCCESS);
    EXPECT_EQ(SnmpState(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ConfigureTest, AValueReallyNamedLikeTheUnnamedOneIsNotTakenForIt) {
    orb::RegSetString(kAgentList, "", "SOFTWARE\\Other\\Unnamed");
    orb::RegSetString(kAgentList, "__noname__", kAgentKey);
    EXPECT_EQ(PreUninstall(Handle()), static_cast<UINT>(ORBF_REFUSED));
    std::vector<orb::RegValue> left = Agents();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "");
    EXPECT_EQ(AgentValue(""), "SOFTWARE\\Other\\Unnamed");
}

TEST_F(ConfigureTest, AnAgentValueTooLongToReadIsReportedAndPassedOver) {
    orb::RegSetString(kAgentList, "1", "SOFTWARE\\Other\\" + std::string(400, 'L'));
    orb::RegSetString(kAgentList, "2", "SOFTWARE\\Other\\Two");
    session_->SetProperty("UILevel", "2");
    testing::internal::CaptureStdout();
    const UINT result = PostInstall(Handle());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 0u);
    EXPECT_NE(out.find("error rc=234, lasterr="), std::string::npos) << out;
    EXPECT_EQ(AgentValue("3"), kAgentKey);
}

TEST_F(ConfigureTest, TheConfigurationToolsExitCodeIsShownAsTheSystemsText) {
    std::ofstream(tool_) << "#!/bin/sh\nexit 5\n";
    testing::internal::CaptureStdout();
    const UINT result = PostInstall(Handle());
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(result, 0u);
    EXPECT_NE(out.find(": Access is denied. [OK]"), std::string::npos) << out;
}

TEST_F(ConfigureTest, RebootRequestsBecomeTheProductsMarker) {
    session_->SetProperty("UILevel", "2");
    session_->SetProperty("REBOOT", "force");
    EXPECT_EQ(PostInstall(Handle()), 0u);
    EXPECT_EQ(RebootMarker(), 0u);  // the word counts only as written

    orb::RegRemoveValue(kAgentList, "1");
    session_->SetProperty("REBOOT", "ReallySuppress,Force");
    EXPECT_EQ(PostInstall(Handle()), 0u);
    EXPECT_EQ(RebootMarker(), 1u);
    EXPECT_NE(session_->LogText().find("PostInstall() - REBOOT flag is < ReallySuppress,Force >"),
              std::string::npos);

    // A pending reboot of the installer is taken over and cleared.
    orb::RegRemoveValue(kProductKey, "Reboot");
    orb::RegRemoveValue(kAgentList, "1");
    session_->SetProperty("REBOOT", "");
    session_->SetMode(MSIRUNMODE_REBOOTATEND, true);
    EXPECT_EQ(PostInstall(Handle()), 0u);
    EXPECT_EQ(RebootMarker(), 1u);
    EXPECT_FALSE(session_->Mode(MSIRUNMODE_REBOOTATEND));
}

TEST_F(ConfigureTest, InMasterSetupModeProgressGoesToTheMailslotAndTheActionEndsEarly) {
    MediaSubType(0, "StatusMailslot=master\n");
    orb::MailslotReader mailslot;
    ASSERT_TRUE(mailslot.Open("master"));
    session_->SetProperty("MASTERSETUP", "1");
    session_->SetProperty("PRODNAME", "Integration");
    session_->SetProperty("REBOOT", "Force");
    EXPECT_EQ(PostInstall(Handle()), 0u);
    EXPECT_FALSE(ToolRan());
    EXPECT_EQ(RebootMarker(), 0u);
    std::string datagram;
    ASSERT_TRUE(mailslot.Read(&datagram, 2000));
    EXPECT_EQ(datagram, "ORBTEST\\4\\2");
    ASSERT_TRUE(mailslot.Read(&datagram, 2000));
    EXPECT_EQ(datagram, "ORBTEST\\3\\1\\Integration\\Stopping the SNMP service...");
    const std::string log = session_->LogText();
    EXPECT_NE(log.find(" mailslot - ORBTEST\\3\\1\\Integration\n"), std::string::npos);
    EXPECT_NE(log.find("PostInstall() - Success exist postinstall from mastersetup\n"),
              std::string::npos);
}

TEST_F(ConfigureTest, PreUninstallLeavesAStoppedSnmpServiceStopped) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    SC_HANDLE service = OpenServiceA(manager, "SNMP", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    SERVICE_STATUS status{};
    ControlService(service, SERVICE_CONTROL_STOP, &status);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    ASSERT_EQ(SnmpState(), static_cast<DWORD>(SERVICE_STOPPED));

    // Nothing was ever installed, then a registration is removed: neither
    // starts the service.
    EXPECT_EQ(PreUninstall(Handle()), 0u);
    EXPECT_EQ(SnmpState(), static_cast<DWORD>(SERVICE_STOPPED));
    orb::RegSetString(kAgentList, "1", kAgentKey);
    EXPECT_EQ(PreUninstall(Handle()), static_cast<UINT>(ORBF_REFUSED));
    EXPECT_EQ(AgentValue("1"), "");
    EXPECT_EQ(SnmpState(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST_F(ConfigureTest, PreUninstallWithoutSnmpOnlyDeletesTheIntegrationKey) {
    orb::RegSetDword(kProductKey + "\\OrbIntegration", "Support", 0xFFFFFFFF);
    orb::RegRemoveKey("SYSTEM\\CurrentControlSet\\Services\\SNMP");
    orb::RegSetString(kAgentList, "1", kAgentKey);
    EXPECT_EQ(PreUninstall(Handle()), 0u);
    std::vector<orb::RegValue> values;
    EXPECT_NE(orb::RegReadValues(kProductKey + "\\OrbIntegration", &values), ERROR_SUCCESS);
    EXPECT_EQ(AgentValue("1"), kAgentKey);
}

TEST_F(ConfigureTest, TheSilentConfigurationFileIsCopiedOnce) {
    const std::string dir = Media() + "/silent\\";
    std::filesystem::create_directories(Media() + "/silent");
    EXPECT_EQ(CreateSilentConfigIni(nullptr, nullptr, nullptr, nullptr, dir.c_str()), 1);
    EXPECT_TRUE(std::filesystem::exists(Media() + "/silent/setup.icf"));
    EXPECT_EQ(CreateSilentConfigIni(nullptr, nullptr, nullptr, nullptr, dir.c_str()), 0);
    EXPECT_EQ(CreateSilentConfigIni(nullptr, nullptr, nullptr, nullptr,
                                    (Media() + "/nowhere/x.icf").c_str()),
              0);
}

TEST_F(ConfigureTest, GetPostConfigInfoRunsTheToolOnlyForThisMachine) {
    char message[ORBF_MESSAGE_SIZE] = {};
    EXPECT_EQ(GetPostConfigInfo("VAULT02", nullptr, nullptr, message), 1);
    EXPECT_STREQ(message,
                 "OrbConfig.exe cannot configure the remote machine VAULT02. Run it on that machine.");
    EXPECT_FALSE(ToolRan());

    EXPECT_EQ(GetPostConfigInfo("orbtest", nullptr, nullptr, message), 1);
    EXPECT_TRUE(ToolRan());
    std::filesystem::remove(tool_);
    EXPECT_EQ(GetPostConfigInfo(nullptr, nullptr, nullptr, message), 0);
    EXPECT_NE(std::string(message).find("configuration tool did not start"), std::string::npos);
}

}  // namespace
