// The installer session, mailslots and services that run a program.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "platform/daemon.h"
#include "platform/mailslot.h"
#include "platform/msi.h"
#include "platform/registry.h"
#include "platform/scm.h"
#include "tests/platform/scratch_dir.h"

namespace {

class InstallerSessionTest : public ::testing::Test {
  protected:
    orbtest::ScratchDir root_;
    orbtest::ScopedEnv rootEnv_{"ORB_MACHINE_ROOT", root_.path()};
};

TEST_F(InstallerSessionTest, PropertiesFollowTheInstallersBufferRules) {
    auto session = orb::InstallerSession::Create(root_ / "install.log");
    ASSERT_NE(session, nullptr);
    const MSIHANDLE install = session->Handle();
    ASSERT_EQ(MsiSetPropertyA(install, "INSTALLDIR", "/opt/vaultline"), ERROR_SUCCESS);
    char buffer[8];
    DWORD size = sizeof(buffer);
    std::memset(buffer, '#', sizeof(buffer));
    EXPECT_EQ(MsiGetPropertyA(install, "INSTALLDIR", buffer, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 14u);
    EXPECT_STREQ(buffer, "/opt/va");
    size = 0;
    EXPECT_EQ(MsiGetPropertyA(install, "INSTALLDIR", nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 14u);
    size = sizeof(buffer);
    EXPECT_EQ(MsiGetPropertyA(install, "installdir", buffer, &size), ERROR_SUCCESS);
    EXPECT_STREQ(buffer, "");  // names keep their letter case

    // Another installation on the machine has a session of its own.
    auto other = orb::InstallerSession::Create("");
    EXPECT_NE(other->Handle(), install);
    EXPECT_EQ(other->Property("INSTALLDIR"), "");
    EXPECT_EQ(MsiSetPropertyA(install, "INSTALLDIR", ""), ERROR_SUCCESS);
    EXPECT_TRUE(session->Properties().empty());
    const MSIHANDLE ended = other->Handle();
    other.reset();
    EXPECT_EQ(MsiSetPropertyA(ended, "X", "1"), static_cast<UINT>(ERROR_INVALID_HANDLE));
}

TEST_F(InstallerSessionTest, MessagesGoToTheLogAndModesAreKept) {
    auto session = orb::InstallerSession::Create(root_ / "install.log");
    MSIHANDLE record = MsiCreateRecord(1);
    ASSERT_EQ(MsiRecordSetStringA(record, 0, "PostInstall() - Starting SNMP Service..."),
              ERROR_SUCCESS);
    EXPECT_EQ(MsiProcessMessage(session->Handle(), INSTALLMESSAGE_INFO, record), 1);
    EXPECT_EQ(MsiProcessMessage(record, INSTALLMESSAGE_INFO, record), -1);  // not a session
    EXPECT_EQ(MsiCloseHandle(record), ERROR_SUCCESS);
    EXPECT_EQ(MsiProcessMessage(session->Handle(), INSTALLMESSAGE_INFO, record), -1);
    EXPECT_EQ(session->LogText(), "PostInstall() - Starting SNMP Service...\n");
    std::ifstream log(root_ / "install.log");
    std::string line;
    std::getline(log, line);
    EXPECT_EQ(line, "PostInstall() - Starting SNMP Service...");

    EXPECT_FALSE(MsiGetMode(session->Handle(), MSIRUNMODE_REBOOTATEND));
    session->SetMode(MSIRUNMODE_REBOOTATEND, true);
    EXPECT_TRUE(MsiGetMode(session->Handle(), MSIRUNMODE_REBOOTATEND));
    EXPECT_FALSE(MsiGetMode(session->Handle(), MSIRUNMODE_REBOOTNOW));
}

TEST_F(InstallerSessionTest, InstalledProductsAreTheMachinesUninstallKeys) {
    const char* code = "{4C7E2A91-5B3D-4F08-9E61-2D8A0B7C35F4}";
    EXPECT_EQ(MsiGetProductInfoA(code, INSTALLPROPERTY_VERSION, nullptr, nullptr),
              static_cast<UINT>(ERROR_UNKNOWN_PRODUCT));
    ASSERT_EQ(orb::RegisterInstalledProduct(code, "Integration", "1.0"), ERROR_SUCCESS);
    char version[16];
    DWORD size = sizeof(version);
    EXPECT_EQ(MsiGetProductInfoA(code, INSTALLPROPERTY_VERSIONSTRING, version, &size), ERROR_SUCCESS);
    EXPECT_STREQ(version, "1.0");
    ASSERT_EQ(orb::RemoveInstalledProduct(code), ERROR_SUCCESS);
    EXPECT_NE(MsiGetProductInfoA(code, INSTALLPROPERTY_VERSION, nullptr, nullptr), ERROR_SUCCESS);
}

TEST_F(InstallerSessionTest, MailslotsCarryDatagramsToTheirReaderOnly) {
    EXPECT_FALSE(orb::SendMailslot("status", "nobody listens"));
    orb::MailslotReader reader;
    ASSERT_TRUE(reader.Open("\\\\.\\mailslot\\status"));
    ASSERT_TRUE(orb::SendMailslot("status", "ORBTEST\\1\\1"));
    std::string text;
    ASSERT_TRUE(reader.Read(&text, 2000));
    EXPECT_EQ(text, "ORBTEST\\1\\1");
    EXPECT_FALSE(reader.Read(&text, 10));
    EXPECT_EQ(orb::MailslotPath("../escape"), "");
    EXPECT_EQ(orb::MailslotPath(std::string(200, 'n')), "");
}

// A simulated service whose "ImagePath" names a program.
class ServiceProgramTest : public InstallerSessionTest {
  protected:
    void SetUp() override {
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager_, nullptr);
    }
    void TearDown() override { CloseServiceHandle(manager_); }
    SC_HANDLE Create(const std::string& command) {
        return CreateServiceA(manager_, "SNMP", nullptr, SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, 3, 1, command.c_str(), nullptr, nullptr,
                              nullptr, nullptr, nullptr);
    }
    static DWORD State(SC_HANDLE service) {
        SERVICE_STATUS status{};
        return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    }
    orb::ServiceProcess Recorded() {
        orb::ServiceProcess process;
        DWORD pid = 0;
        std::string started;
        orb::RegGetDword("SYSTEM\\CurrentControlSet\\Services\\SNMP", "ProcessId", &pid);
        orb::RegGetString("SYSTEM\\CurrentControlSet\\Services\\SNMP", "ProcessStartTime", &started);
        process.pid = static_cast<int>(pid);
        process.startTime = std::strtoull(started.c_str(), nullptr, 10);
        return process;
    }
    orbtest::ScopedEnv backend_{"ORB_SERVICE_BACKEND", "simulated"};
    SC_HANDLE manager_ = nullptr;
};

TEST_F(ServiceProgramTest, StartRunsTheProgramAndStopEndsIt) {
    SC_HANDLE service = Create("sleep 60");
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(State(service), static_cast<DWORD>(SERVICE_STOPPED));
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(State(service), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
    const orb::ServiceProcess process = Recorded();
    EXPECT_TRUE(orb::ServiceProcessRunning(process));

    // The same process id with another start time is someone else.
    orb::ServiceProcess impostor = process;
    impostor.startTime += 1;
    EXPECT_FALSE(orb::ServiceProcessRunning(impostor));

    SERVICE_STATUS status;
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status)) << GetLastError();
    EXPECT_EQ(State(service), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_FALSE(orb::ServiceProcessRunning(process));
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    CloseServiceHandle(service);
}

TEST_F(ServiceProgramTest, AProgramThatEndsOnItsOwnLeavesTheServiceStopped) {
    SC_HANDLE service = Create("sh -c \"echo started; exit 3\"");
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    DWORD state = 0;
    for (int i = 0; i < 100 && (state = State(service)) != SERVICE_STOPPED; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(state, static_cast<DWORD>(SERVICE_STOPPED));
    std::ifstream log(root_ / "log/SNMP.log");
    std::string line;
    std::getline(log, line);
    EXPECT_EQ(line, "started");
    CloseServiceHandle(service);

    SC_HANDLE missing = CreateServiceA(manager_, "Ghost", nullptr, SERVICE_ALL_ACCESS,
                                       SERVICE_WIN32_OWN_PROCESS, 3, 1, "no-such-program-here",
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(StartServiceA(missing, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    CloseServiceHandle(missing);
}

TEST_F(ServiceProgramTest, DeletingARunningServiceEndsItsProgram) {
    SC_HANDLE service = Create("sleep 60");
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    const orb::ServiceProcess process = Recorded();
    ASSERT_TRUE(DeleteService(service));
    EXPECT_FALSE(orb::ServiceProcessRunning(process));
    CloseServiceHandle(service);
}

}  // namespace
