// The real programs chained as the installer runs them, on a private
// machine in batch mode: OrbConfig starts ksorbcls from the framework's
// bin directory, ksorbcls starts quill on the class file beside it, and the
// product's classes land in the default repository. Every path has blanks.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/registry.h"
#include "tests/orbcli/run_tool.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/damaged_hive.h"
#include "tests/platform/scratch_dir.h"
#include "tests/tools/framework_install.h"
#include "tests/tools/launcher_fixture.h"
#include "tools/OrbConfig/OrbConfigApp.h"

namespace {

namespace fs = std::filesystem;
using orbtest::Outcome;
using orbtest::ScopedEnv;

// Bounded wait for something a program started on its own does.
bool Eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 300; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

class ChainTest : public ::testing::Test {
  protected:
    Outcome Run(const std::string& program, const std::vector<std::string>& args = {}) {
        return orbtest::RunTool(dir_.path(), program, args);
    }
    std::string Classes() { return Run("orbcli", {"class", "list"}).out; }

    // The framework installed in "<dir>/Orb Framework", so that every path
    // the chain builds has a blank in it.
    void InstallFramework() {
        orbtest::InstallFramework(bin_, dir_ / "Orb Framework", {"ksorbcls", "quill"});
    }

    orbtest::ScratchDir dir_;
    ScopedEnv root_{"ORB_MACHINE_ROOT", dir_ / "machine"};
    ScopedEnv computer_{"ORB_COMPUTERNAME", "TESTBOX"};
    ScopedEnv ui_{"ORB_UI", "batch"};
    const std::string bin_ = orbtest::BinDir();
};

TEST_F(ChainTest, AnsweringYesImportsTheProductsClassesUnattended) {
    InstallFramework();
    ScopedEnv yes("ORB_UI_ANSWER", "yes");
    const Outcome run = Run("OrbConfig");
    EXPECT_EQ(run.exit, 0);
    // ksorbcls asked (its answer comes through OrbConfig's output).
    EXPECT_NE(run.out.find("[Yes/No] -> Yes"), std::string::npos) << run.out;
    EXPECT_EQ(run.err, "");
    // quill runs on its own: its import shows when it ends.
    EXPECT_TRUE(Eventually([&] { return Classes().find("LumoraVB\n") != std::string::npos; }))
        << Classes();
    EXPECT_NE(Classes().find("Vaultline\n"), std::string::npos);
}

TEST_F(ChainTest, AnsweringNoImportsNothing) {
    InstallFramework();
    ScopedEnv no("ORB_UI_ANSWER", "no");
    const Outcome run = Run("OrbConfig");
    EXPECT_EQ(run.exit, 0);
    EXPECT_NE(run.out.find("[Yes/No] -> No"), std::string::npos) << run.out;
    // OrbConfig waited for ksorbcls, which started nothing.
    EXPECT_EQ(Classes().find("LumoraVB"), std::string::npos);
}

TEST_F(ChainTest, KsrunStartsAProgramOfTheProductsHomeWithItsArguments) {
    const std::string home = dir_ / "Backup Home";
    const std::string report = dir_ / "report.txt";
    orbtest::WriteProgram(home + "/tools/report", "for a in \"$@\"; do echo \"$a\"; done > '" +
                                                      report + ".part'; mv '" + report +
                                                      ".part' '" + report + "'");
    ASSERT_EQ(orb::RegSetString("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path",
                                "HOME", home),
              ERROR_SUCCESS);
    const Outcome run = Run("ksrun", {"tools/report.exe", "/a", "two words"});
    EXPECT_EQ(run.exit, 0);
    EXPECT_EQ(run.out, "");
    ASSERT_TRUE(Eventually([&] { return fs::exists(report); }));
    EXPECT_EQ(orbtest::Slurp(report), "/a\ntwo words\n");
}

TEST_F(ChainTest, KsrunEndsNonZeroWhenItStartsNothing) {
    const std::string home = dir_ / "Backup Home";
    Outcome run = Run("ksrun", {"tools/report.exe"});
    EXPECT_EQ(run.exit, 1);  // no home: the box of text 20
    EXPECT_NE(run.out.find("[OK] -> OK"), std::string::npos) << run.out;
    ASSERT_EQ(orb::RegSetString("SOFTWARE\\Kestrel\\Vaultline\\CurrentVersion\\Path", "HOME", home),
              ERROR_SUCCESS);
    run = Run("ksrun", {"tools/report.exe"});
    EXPECT_EQ(run.exit, 1);
    EXPECT_EQ(run.err, "ksrun: \"" + home + "/tools/report.exe\" could not be started (2)\n");
    run = Run("ksrun");
    EXPECT_EQ(run.exit, 2);
    EXPECT_EQ(run.err, "ksrun: no program given; usage: ksrun PROGRAM [ARGUMENTS...]\n");
}

TEST_F(ChainTest, OrbConfigEndsNonZeroAndSaysHowKsorbclsEnded) {
    const std::string bin = dir_ / "Orb Framework/bin";
    InstallFramework();
    const std::string box = "OrbConfig: " + bin + "/ksorbcls.exe ended with exit code ";
    // The program's own code above 128 is no signal; a real signal is named.
    orbtest::WriteProgram(bin + "/ksorbcls", "exit 180");
    Outcome run = Run("OrbConfig");
    EXPECT_EQ(run.exit, 2);
    EXPECT_NE(run.out.find(box + "180: The program gives no description of this code."),
              std::string::npos)
        << run.out;
    orbtest::WriteProgram(bin + "/ksorbcls", "kill -SEGV $$");
    run = Run("OrbConfig");
    EXPECT_EQ(run.exit, 2);
    EXPECT_NE(run.out.find(box + "139: Ended by signal 11 (Segmentation fault)."),
              std::string::npos)
        << run.out;
    fs::remove(bin + "/ksorbcls");
    run = Run("OrbConfig");
    EXPECT_EQ(run.exit, 1);
    EXPECT_NE(run.out.find("Failed to launch"), std::string::npos) << run.out;
}

TEST_F(ChainTest, ADamagedHiveStopsKsrunAndOrbConfig) {
    InstallFramework();
    const std::string home = dir_ / "Backup Home";
    orbtest::WriteProgram(home + "/tools/report", "touch '" + (dir_ / "started") + "'");
    ASSERT_EQ(orb::RegSetString("SOFTWARE\\Kestrel\\Vaultline\\CurrentVersion\\Path", "HOME", home),
              ERROR_SUCCESS);
    ASSERT_TRUE(orbtest::DamageHiveHeader(dir_ / "machine"));

    ScopedEnv yes("ORB_UI_ANSWER", "yes");
    for (const char* program : {"ksrun", "OrbConfig"}) {
        const Outcome run = Run(program, {"tools/report.exe"});
        EXPECT_EQ(run.exit, 1) << program;
        EXPECT_EQ(run.err,
                  std::string(program) +
                      ": cannot read the registry: the registry hive is damaged (error 1009)\n");
        EXPECT_EQ(run.out, "") << program;  // no box, no question
    }
    EXPECT_FALSE(fs::exists(dir_ / "started"));
}

}  // namespace
