// A private machine for the installer actions: its own machine root, a
// setup media directory, an installer session, and helpers that put the
// backup product, the framework and the SNMP service on the machine.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>

#include "platform/msi.h"
#include "platform/registry.h"
#include "platform/scm.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace setuptest {

inline const std::string kProductKey = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup";
inline const std::string kVersionKey = kProductKey + "\\Base\\Version";
inline const std::string kFrameworkKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex\\CurrentVersion";
inline const std::string kAgentList =
    "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";
inline const std::string kAgentKey = kProductKey + "\\SNMPAgents\\lmebagent";

using orbtest::BinDir;

class SetupMachine : public ::testing::Test {
  protected:
    void SetUp() override {
        std::filesystem::create_directories(Root());
        session_ = orb::InstallerSession::Create("");
        ASSERT_NE(session_, nullptr);
        session_->SetProperty("SOURCEDIR", Media() + "/");
    }

    std::string Root() const { return root_.path() + "/ORBTEST"; }
    std::string Media() const { return media_.path(); }
    std::string Home() const { return Root() + "/Vaultline"; }
    MSIHANDLE Handle() const { return session_->Handle(); }
    std::string Property(const std::string& name) const { return session_->Property(name); }

    void Product(DWORD code = 25, DWORD major = 7, DWORD edition = 0, bool manager = true) {
        ASSERT_EQ(orb::RegSetString(kProductKey + "\\Base\\Path", "HOME", Home()), ERROR_SUCCESS);
        orb::RegSetDword(kVersionKey, "ProductCode", code);
        orb::RegSetDword(kVersionKey, "Major", major);
        orb::RegSetDword(kVersionKey, "Edition", edition);
        orb::RegSetDword(kVersionKey, "Manager", manager ? 1 : 0);
    }
    void Orbmap() {
        orb::RegSetDword("SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap", "Installed", 1);
    }
    void Framework(DWORD major, const std::string& installPath) {
        orb::RegSetDword(kFrameworkKey, "MajorVersion", major);
        orb::RegSetString(kFrameworkKey, "InstallPath", installPath);
    }
    void SystemVersion(const std::string& version) {
        orb::RegSetString("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentVersion",
                          version);
    }
    // The SNMP service of the simulated manager, settling at once.
    void SnmpService(bool running) {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE service = CreateServiceA(manager, "SNMP", nullptr, SERVICE_ALL_ACCESS,
                                           SERVICE_WIN32_OWN_PROCESS, 3, 1, nullptr, nullptr,
                                           nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(service, nullptr);
        orb::RegSetDword("SYSTEM\\CurrentControlSet\\Services\\SNMP", "TransitionDelay", 0);
        if (running) StartServiceA(service, 0, nullptr);
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
    }
    DWORD SnmpState() {
        DWORD state = 0;
        orb::RegGetDword("SYSTEM\\CurrentControlSet\\Services\\SNMP", "CurrentState", &state);
        return state;
    }
    void MediaSubType(int subType, const std::string& extra = "") {
        std::ofstream(Media() + "/setup.inf") << "[Setup]\nProductSubType=" << subType << "\n"
                                              << extra;
    }
    // The media's VLVCTL.DLL, as the build makes it.
    void MediaLibrary() {
        std::filesystem::copy_file(BinDir() + "/libVLVCTL.so", Media() + "/libVLVCTL.so");
    }

    orbtest::ScratchDir root_;
    orbtest::ScopedEnv rootEnv_{"ORB_MACHINE_ROOT", root_.path() + "/ORBTEST"};
    orbtest::ScopedEnv computer_{"ORB_COMPUTERNAME", "ORBTEST"};
    orbtest::ScopedEnv ui_{"ORB_UI", "batch"};
    orbtest::ScopedEnv backend_{"ORB_SERVICE_BACKEND", "simulated"};
    orbtest::ScratchDir media_;
    std::unique_ptr<orb::InstallerSession> session_;
};

// Runs the calls as an unprivileged user (the machine root opened to it).
template <typename Calls>
void AsUnprivilegedUser(const std::string& root, Calls calls) {
    std::filesystem::permissions(root, std::filesystem::perms::all);
    for (auto& entry : std::filesystem::recursive_directory_iterator(root))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::all);
    bool switched = geteuid() == 0 && seteuid(65534) == 0;
    calls();
    if (switched) {
        ASSERT_EQ(seteuid(0), 0);
    }
}

}  // namespace setuptest
