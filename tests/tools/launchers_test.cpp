// ksrun, ksorbcls and OrbConfig with the process start replaced: what each
// would start, from which directory, and what the user is told.
#include <gtest/gtest.h>

#include "tests/tools/launcher_fixture.h"
#include "tools/OrbConfig/OrbConfigApp.h"
#include "tools/ksorbcls/KsOrbClsApp.h"
#include "tools/ksrun/KsRunApp.h"

namespace {

using orbtest::ScopedEnv;
using orbtest::WriteProgram;
using Args = std::vector<std::string>;

const char* const kProductPathKey = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path";

class KsRunTest : public orbtest::LauncherTest {
  protected:
    // Runs ksrun; returns what it printed (its message box in batch mode).
    std::string Run(const std::string& commandLine) {
        testing::internal::CaptureStdout();
        CKsRunApp app;
        EXPECT_EQ(app.InitInstance(commandLine), FALSE);
        exitCode_ = app.ExitCode();
        return testing::internal::GetCapturedStdout();
    }
    int exitCode_ = -1;
    std::string NoHomeBox() { return "ksrun: " + ResourceText(20) + " [OK] -> OK\n"; }
};

TEST_F(KsRunTest, StartsTheProgramOfTheHomeWithItsArguments) {
    const std::string home = dir_ / "opt/backup";
    WriteProgram(home + "/tool");
    ASSERT_EQ(orb::RegSetString(kProductPathKey, "HOME", home), ERROR_SUCCESS);

    EXPECT_EQ(Run("tool /a"), "");
    EXPECT_EQ(exitCode_, kKsRunStarted);
    // The ".exe" name of a shortcut finds the same program.
    EXPECT_EQ(Run("TOOL.EXE /a \"two words\""), "");
    auto started = starter_.Requests();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].commandLine, home + "/tool /a");
    EXPECT_EQ(started[0].program, home + "/tool");
    EXPECT_EQ(started[0].argv, (Args{home + "/tool", "/a"}));
    EXPECT_EQ(started[1].program, home + "/tool");
    EXPECT_EQ(started[1].argv, (Args{home + "/TOOL.EXE", "/a", "two words"}));
    EXPECT_EQ(started[1].workingDir, "");
}

TEST_F(KsRunTest, AHomeWithBlanksIsNotMistakenForAShorterProgram) {
    // "<dir>/Backup" exists as a program too: the unquoted path must still
    // start the program inside "Backup Home".
    const std::string home = dir_ / "Backup Home";
    WriteProgram(home + "/bin/tool");
    WriteProgram(dir_ / "Backup");
    ASSERT_EQ(orb::RegSetString(kProductPathKey, "HOME", home), ERROR_SUCCESS);

    EXPECT_EQ(Run("bin/tool.exe /a"), "");
    auto started = starter_.Requests();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].program, home + "/bin/tool");
    EXPECT_EQ(started[0].argv, (Args{home + "/bin/tool.exe", "/a"}));
}

TEST_F(KsRunTest, OnlyTheFirstKeyThatOpensIsRead) {
    const std::string older = dir_ / "older", earlier = dir_ / "earlier";
    WriteProgram(older + "/tool");
    WriteProgram(earlier + "/tool");

    // Only the oldest edition's key: its home is used.
    ASSERT_EQ(orb::RegSetString(kKsRunOlderEditionKey, "HOME", older), ERROR_SUCCESS);
    EXPECT_EQ(Run("tool"), "");
    // The earlier edition's key comes before it.
    ASSERT_EQ(orb::RegSetString(kKsRunEarlierEditionKey, "HOME", earlier), ERROR_SUCCESS);
    EXPECT_EQ(Run("tool"), "");
    // A product key without "HOME" ends the search: the message, nothing started.
    ASSERT_EQ(orb::RegSetString(kProductPathKey, "LOG", dir_ / "log"), ERROR_SUCCESS);
    EXPECT_EQ(Run("tool"), NoHomeBox());

    auto started = starter_.Requests();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].program, older + "/tool");
    EXPECT_EQ(started[1].program, earlier + "/tool");
}

TEST_F(KsRunTest, NoUsableHomeShowsTheMessageAndStartsNothing) {
    EXPECT_EQ(Run("tool /a"), NoHomeBox());
    EXPECT_EQ(exitCode_, kKsRunNotStarted);
    // A number, or a path longer than the 511 characters read, is no home.
    ASSERT_EQ(orb::RegSetDword(kProductPathKey, "HOME", 7), ERROR_SUCCESS);
    EXPECT_EQ(Run("tool"), NoHomeBox());
    ASSERT_EQ(orb::RegSetString(kProductPathKey, "HOME", "/" + std::string(511, 'h')), ERROR_SUCCESS);
    EXPECT_EQ(Run("tool"), NoHomeBox());
    // An empty command line starts nothing either: the home is no program.
    ASSERT_EQ(orb::RegSetString(kProductPathKey, "HOME", dir_.path()), ERROR_SUCCESS);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Run(""), "");
    EXPECT_EQ(exitCode_, kKsRunNoProgram);
    EXPECT_EQ(Run("  "), "");
    EXPECT_EQ(exitCode_, kKsRunNoProgram);
    // Nor does a program that is not there; both are told on standard error.
    EXPECT_EQ(Run("missing /a"), "");
    EXPECT_EQ(exitCode_, kKsRunNotStarted);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("ksrun: no program given; usage: ksrun PROGRAM [ARGUMENTS...]\n"),
              std::string::npos)
        << err;
    EXPECT_NE(err.find("ksrun: \"" + dir_.path() + "/missing /a\" could not be started"),
              std::string::npos)
        << err;
    EXPECT_TRUE(starter_.Requests().empty());
}

class KsOrbClsTest : public orbtest::LauncherTest {
  protected:
    std::string Run(const char* answer) {
        ScopedEnv given("ORB_UI_ANSWER", answer);
        testing::internal::CaptureStdout();
        CKsOrbClsApp app;
        EXPECT_EQ(app.InitInstance(), FALSE);
        return testing::internal::GetCapturedStdout();
    }
    std::string Question(const char* answer) {
        return ResourceText(24) + ": " + ResourceText(21) + " [Yes/No] -> " + answer + "\n";
    }
};

TEST_F(KsOrbClsTest, YesStartsTheImportOfTheClassFileBesideTheProgram) {
    EXPECT_EQ(Run("no"), Question("No"));
    EXPECT_TRUE(starter_.Requests().empty());

    EXPECT_EQ(Run("yes"), Question("Yes"));
    const std::string bin = orb::ProgramDirectory();
    auto started = starter_.Requests();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].commandLine, "QUILL.EXE /q /g /x  \"" + bin + "/Lumora.orb\"");
    EXPECT_EQ(started[0].program, bin + "/quill");
    EXPECT_EQ(started[0].argv, (Args{"QUILL.EXE", "/q", "/g", "/x", bin + "/Lumora.orb"}));
}

TEST(KsOrbCls, ClassFileAndCommandKeepBlanksInThePath) {
    EXPECT_EQ(ClassFileBeside("/opt/Orb Files/bin/ksorbcls"), "/opt/Orb Files/bin/Lumora.orb");
    EXPECT_EQ(ClassFileBeside("ksorbcls"), "Lumora.orb");
    const std::string command = ImportCommand("/opt/Orb Files/bin/Lumora.orb");
    EXPECT_EQ(command, "QUILL.EXE /q /g /x  \"/opt/Orb Files/bin/Lumora.orb\"");
    EXPECT_EQ(orb::SplitCommandLine(command).back(), "/opt/Orb Files/bin/Lumora.orb");
    // A quotation mark would end the quoted path early: no command at all.
    EXPECT_EQ(ImportCommand("/opt/Orb \"x\" Files/bin/Lumora.orb"), "");
}

class OrbConfigTest : public orbtest::LauncherTest {
  protected:
    // A framework installed in `install` with its repository component.
    void Install(const std::string& install, bool orbmap = true) {
        ASSERT_EQ(orb::RegSetString(kFrameworkKey, "InstallPath", install), ERROR_SUCCESS);
        ASSERT_EQ(orb::RegSetString(kAgentServicesKey, "InstallPath", install + "/agents"),
                  ERROR_SUCCESS);
        if (orbmap) {
            ASSERT_EQ(orb::RegSetString(kOrbmapPresenceKey, "Version", "1"), ERROR_SUCCESS);
        }
    }
    std::string Run() {
        testing::internal::CaptureStdout();
        COrbConfigApp app;
        EXPECT_EQ(app.InitInstance(), FALSE);
        exitCode_ = app.ExitCode();
        return testing::internal::GetCapturedStdout();
    }
    int exitCode_ = -1;
    std::string Launch(LPCSTR format, LPCSTR program, int kind, DWORD* code) {
        testing::internal::CaptureStdout();
        COrbConfigApp app;
        *code = app.LaunchProgram(format, program, kind);
        return testing::internal::GetCapturedStdout();
    }
};

TEST_F(OrbConfigTest, StartsKsorbclsFromTheFrameworksBinDirectory) {
    const std::string install = dir_ / "Orb Framework";
    WriteProgram(install + "/bin/ksorbcls");
    Install(install);
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(exitCode_, kExitDone);
    auto started = starter_.Requests();
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].commandLine, install + "/bin/ksorbcls.exe ");
    EXPECT_EQ(started[0].program, install + "/bin/ksorbcls");
    EXPECT_EQ(started[0].argv, Args{install + "/bin/ksorbcls.exe"});
    EXPECT_EQ(started[0].workingDir, install + "/bin");
}

TEST_F(OrbConfigTest, WithoutTheRepositoryComponentOrTheFrameworkKeysNothingHappens) {
    const std::string install = dir_ / "orb";
    WriteProgram(install + "/bin/ksorbcls");
    Install(install, false);
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(exitCode_, kExitDone);
    // The repository component without the framework's agent services key.
    ASSERT_EQ(orb::RegSetString(kOrbmapPresenceKey, "Version", "1"), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegRemoveKey(kAgentServicesKey), ERROR_SUCCESS);
    EXPECT_EQ(Run(), "");
    EXPECT_TRUE(starter_.Requests().empty());
}

TEST_F(OrbConfigTest, AMissingProgramIsReportedWithTheBlankAfterItsName) {
    const std::string install = dir_ / "orb";
    Install(install);
    EXPECT_EQ(Run(), "OrbConfig: Failed to launch " + install + "/bin/ksorbcls.exe ,Program path not found in " + install + "/bin [OK] -> OK\n");
    EXPECT_EQ(exitCode_, kExitNotDone);
    // No "InstallPath" value: nothing is looked for below the root.
    ASSERT_EQ(orb::RegRemoveValue(kFrameworkKey, "InstallPath"), ERROR_SUCCESS);
    EXPECT_EQ(Run(), "OrbConfig: Failed to launch /bin/ksorbcls.exe ,Program path not found in /bin [OK] -> OK\n");
    EXPECT_TRUE(starter_.Requests().empty());
}

TEST_F(OrbConfigTest, ANonZeroExitCodeIsShownWithItsMeaning) {
    const std::string install = dir_ / "orb";
    WriteProgram(install + "/bin/ksorbcls");
    Install(install);
    const std::string program = install + "/bin/ksorbcls.exe";
    DWORD code = 0;
    starter_.SetExitCode(ERROR_ACCESS_DENIED);
    EXPECT_EQ(Launch(nullptr, "ksorbcls.exe", kFrameworkBinDirectory, &code),
              "OrbConfig: " + program + " ended with exit code 5: Access is denied. [OK] -> OK\n");
    EXPECT_EQ(code, 5u);
    starter_.SetExitCode(128 + 11, 11);
    EXPECT_EQ(Launch(nullptr, "ksorbcls.exe", kFrameworkBinDirectory, &code),
              "OrbConfig: " + program +
                  " ended with exit code 139: Ended by signal 11 (Segmentation fault). [OK] -> OK\n");
    // The same number as the program's own code is no signal.
    starter_.SetExitCode(128 + 52);
    EXPECT_EQ(Launch(nullptr, "ksorbcls.exe", kFrameworkBinDirectory, &code),
              "OrbConfig: " + program +
                  " ended with exit code 180: The program gives no description of this code. [OK] "
                  "-> OK\n");
    starter_.SetExitCode(42);
    EXPECT_EQ(Launch(nullptr, "ksorbcls.exe", kFrameworkBinDirectory, &code),
              "OrbConfig: " + program +
                  " ended with exit code 42: The program gives no description of this code. [OK] -> OK\n");
    EXPECT_EQ(code, 42u);
}

TEST_F(OrbConfigTest, AnInstallPathTooLongOrNotATextIsNamedNotTakenForTheRoot) {
    // 300 characters: more than the 259 read, which cut would name another
    // directory and empty would name "/bin".
    const std::string parent = dir_ / std::string(140, 'o') + "/";
    const std::string install = parent + std::string(300 - parent.size(), 'p');
    WriteProgram(install + "/bin/ksorbcls");
    Install(install);
    const std::string box =
        std::string("OrbConfig: Cannot launch ksorbcls.exe: \"InstallPath\" of ") +
        "HKEY_LOCAL_MACHINE\\" + kFrameworkKey +
        " is not a directory path of at most 259 characters [OK] -> OK\n";
    EXPECT_EQ(Run(), box);
    EXPECT_EQ(exitCode_, kExitNotDone);
    ASSERT_EQ(orb::RegSetDword(kFrameworkKey, "InstallPath", 7), ERROR_SUCCESS);
    EXPECT_EQ(Run(), box);
    EXPECT_EQ(exitCode_, kExitNotDone);
    // The agent services directory is only read when the program lies there.
    ASSERT_EQ(orb::RegSetString(kFrameworkKey, "InstallPath", dir_ / "orb"), ERROR_SUCCESS);
    WriteProgram(dir_ / "orb/bin/ksorbcls");
    ASSERT_EQ(orb::RegSetString(kAgentServicesKey, "InstallPath", install), ERROR_SUCCESS);
    EXPECT_EQ(Run(), "");
    EXPECT_EQ(exitCode_, kExitDone);
    DWORD code = 0;
    EXPECT_NE(
        Launch(nullptr, "agentcfg.exe", kAgentServicesDirectory, &code).find(kAgentServicesKey),
        std::string::npos);
    ASSERT_EQ(starter_.Requests().size(), 1u);
}

TEST_F(OrbConfigTest, DirectoryKindsAndArgumentFormat) {
    const std::string install = dir_ / "orb";
    WriteProgram(install + "/agents/agentcfg");
    WriteProgram(install + "/Services/Tools/svccfg");
    Install(install);
    DWORD code = 1;
    EXPECT_EQ(Launch(nullptr, "agentcfg.exe", kAgentServicesDirectory, &code), "");
    EXPECT_EQ(Launch("/root:\"%s\" 100%%", "svccfg.exe", kFrameworkToolsDirectory, &code), "");
    EXPECT_EQ(Launch(nullptr, "svccfg.exe", 3, &code), "");
    EXPECT_EQ(code, 0u);
    auto started = starter_.Requests();
    ASSERT_EQ(started.size(), 2u);
    EXPECT_EQ(started[0].program, install + "/agents/agentcfg");
    EXPECT_EQ(started[0].workingDir, install + "/agents");
    EXPECT_EQ(started[1].commandLine,
              install + "/Services/Tools/svccfg.exe /root:\"" + install + "\" 100%");
    EXPECT_EQ(started[1].argv, (Args{install + "/Services/Tools/svccfg.exe", "/root:" + install, "100%"}));
    EXPECT_EQ(started[1].workingDir, install + "/Services/Tools");
}

}  // namespace
