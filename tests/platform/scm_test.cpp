#include "platform/scm.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/process.h"
#include "platform/registry.h"
#include "platform/sync.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace {

// A private machine root with a virtual clock and the simulated backend.
class SimulatedServices : public ::testing::Test {
protected:
    void SetUp() override {
        orb::SetClock(&clock_);
        orb::SetServiceManager(nullptr);
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(manager_, nullptr);
    }
    void TearDown() override {
        CloseServiceHandle(manager_);
        orb::SetClock(nullptr);
    }

    SC_HANDLE Create(const char* name, DWORD delayMs) {
        SC_HANDLE service = CreateServiceA(manager_, name, nullptr, SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, 3, 1, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(orb::RegSetDword(std::string("SYSTEM\\CurrentControlSet\\Services\\") + name,
                                   "TransitionDelay", delayMs),
                  ERROR_SUCCESS);
        return service;
    }

    static DWORD State(SC_HANDLE service) {
        SERVICE_STATUS status{};
        return QueryServiceStatus(service, &status) ? status.dwCurrentState : 0;
    }

    orbtest::ScratchDir root_;
    orbtest::ScopedEnv rootEnv_{"ORB_MACHINE_ROOT", root_.path()};
    orbtest::ScopedEnv backendEnv_{"ORB_SERVICE_BACKEND", "simulated"};
    orb::VirtualClock clock_;
    SC_HANDLE manager_ = nullptr;
};

TEST_F(SimulatedServices, StartAndStopPassThroughPendingStatesOnThePlatformClock) {
    SC_HANDLE service = Create("NWSTapeEngine", 500);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(State(service), SERVICE_STOPPED);

    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(State(service), SERVICE_START_PENDING);
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
    clock_.Advance(499);
    EXPECT_EQ(State(service), SERVICE_START_PENDING);
    clock_.Advance(1);
    EXPECT_EQ(State(service), SERVICE_RUNNING);

    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING));
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_CANNOT_ACCEPT_CTRL));
    clock_.Advance(500);
    EXPECT_EQ(State(service), SERVICE_STOPPED);
    EXPECT_FALSE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    CloseServiceHandle(service);
}

TEST_F(SimulatedServices, HandlesRefuseWhatTheirAccessOrTheServiceDoesNotAllow) {
    EXPECT_EQ(OpenServiceA(manager_, "NWTIRPC", SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
    EXPECT_EQ(OpenSCManagerA("\\\\OTHERHOST", nullptr, SC_MANAGER_CONNECT), nullptr);

    CloseServiceHandle(Create("NWSJobEngine", 0));
    EXPECT_EQ(CreateServiceA(manager_, "NWSJobEngine", nullptr, SERVICE_ALL_ACCESS, 0, 3, 1,
                             nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_EXISTS));
    EXPECT_EQ(OpenServiceA(manager_, "Bad\\Name", SERVICE_QUERY_STATUS), nullptr);

    // A key of the Services tree that no service owns (the SNMP settings) is no service.
    ASSERT_EQ(orb::RegSetString("SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters", "x", "y"),
              ERROR_SUCCESS);
    EXPECT_EQ(OpenServiceA(manager_, "SNMP", SERVICE_QUERY_STATUS), nullptr);

    SC_HANDLE readOnly = OpenServiceA(manager_, "nwsjobengine", SERVICE_QUERY_STATUS);
    ASSERT_NE(readOnly, nullptr);
    EXPECT_FALSE(StartServiceA(readOnly, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(QueryServiceStatus(manager_, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    CloseServiceHandle(readOnly);

    SC_HANDLE connectOnly = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    EXPECT_EQ(CreateServiceA(connectOnly, "NWSNew", nullptr, SERVICE_ALL_ACCESS, 0, 3, 1, nullptr,
                             nullptr, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseServiceHandle(connectOnly);

    SC_HANDLE full = OpenServiceA(manager_, "NWSJobEngine", SERVICE_ALL_ACCESS);
    SERVICE_STATUS status{};
    EXPECT_FALSE(ControlService(full, 2 /* pause */, &status));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_SERVICE_CONTROL));
    EXPECT_FALSE(ControlService(full, SERVICE_CONTROL_STOP, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ASSERT_TRUE(DeleteService(full));
    CloseServiceHandle(full);
    EXPECT_EQ(OpenServiceA(manager_, "NWSJobEngine", SERVICE_QUERY_STATUS), nullptr);
}

// Runs a command line with its standard output sent to a file, returns its exit code.
DWORD RunTo(const std::string& commandLine, const std::string& outFile) {
    orb::Process process;
    std::string line = "/bin/sh -c \"" + commandLine + " > '" + outFile + "'\"";
    if (!orb::StartProcess(line, "", &process)) return 999;
    DWORD code = 999;
    orb::WaitProcess(process, 30000, &code);
    return code;
}

std::string Read(const std::string& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST_F(SimulatedServices, SvcctlSharesTheServicesOfTheMachineRoot) {
    orb::SetClock(nullptr);  // svcctl runs on the real clock
    const std::string svcctl = orbtest::BinDir() + "/svcctl";
    const std::string out = root_ / "out.txt";
    ASSERT_EQ(RunTo(svcctl + " create NWSMsgEngine --delay 0", out), 0u);
    EXPECT_EQ(RunTo(svcctl + " create NWSMsgEngine", out), 1u);
    ASSERT_EQ(RunTo(svcctl + " start NWSMsgEngine", out), 0u);

    SC_HANDLE service = OpenServiceA(manager_, "NWSMsgEngine", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(State(service), SERVICE_RUNNING);
    SERVICE_STATUS status;
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    CloseServiceHandle(service);

    ASSERT_EQ(RunTo(svcctl + " query NWSMsgEngine", out), 0u);
    EXPECT_EQ(Read(out), "STOPPED\n");
    ASSERT_EQ(RunTo(svcctl + " delete NWSMsgEngine", out), 0u);
    EXPECT_NE(RunTo(svcctl + " query NWSMsgEngine", out), 0u);
}

// The systemd backend against a stand-in systemctl whose unit state is a file:
// its content is the exit code "status" answers (0 active, 3 inactive, 4 unknown).
TEST(SystemdServices, MapsSystemctlAnswersToServiceStates) {
    orbtest::ScratchDir dir;
    const std::string state = dir / "state";
    const std::string fake = dir / "systemctl";
    {
        std::ofstream script(fake);
        script << "#!/bin/sh\necho \"$@\" >> '" << dir.path() << "/calls'\n"
               << "case \"$1\" in\n"
               << "  status) exit $(cat '" << state << "') ;;\n"
               << "  start) echo 0 > '" << state << "' ;;\n"
               << "  stop) echo 3 > '" << state << "' ;;\n"
               << "esac\n";
    }
    std::filesystem::permissions(fake, std::filesystem::perms::owner_all);
    std::ofstream(state) << "3\n";
    orbtest::ScopedEnv backend("ORB_SERVICE_BACKEND", "systemd");
    orbtest::ScopedEnv command("ORB_SYSTEMCTL", fake);
    orbtest::ScopedEnv root("ORB_MACHINE_ROOT", dir.path());

    std::unique_ptr<OrbScHandle, BOOL (*)(SC_HANDLE)> managerHandle(
        OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT), CloseServiceHandle);
    SC_HANDLE manager = managerHandle.get();
    SC_HANDLE service = OpenServiceA(manager, "NWSDBEngine", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    ASSERT_TRUE(QueryServiceStatus(service, &status));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_FALSE(StartServiceA(service, 0, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_ALREADY_RUNNING));
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    CloseServiceHandle(service);
    EXPECT_NE(Read(dir / "calls").find("start --no-block -- NWSDBEngine"), std::string::npos);

    // A service the machine maps to a unit of another name.
    ASSERT_EQ(orb::RegSetString("SYSTEM\\CurrentControlSet\\Services\\SNMP", "SystemdUnit",
                                "vaultline-snmphost.service"),
              ERROR_SUCCESS);
    service = OpenServiceA(manager, "SNMP", SERVICE_ALL_ACCESS);
    ASSERT_NE(service, nullptr);
    ASSERT_TRUE(StartServiceA(service, 0, nullptr));
    CloseServiceHandle(service);
    EXPECT_NE(Read(dir / "calls").find("start --no-block -- vaultline-snmphost.service"),
              std::string::npos);

    std::ofstream(state) << "4\n";
    EXPECT_EQ(OpenServiceA(manager, "NWSDBEngine", SERVICE_QUERY_STATUS), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

}  // namespace
