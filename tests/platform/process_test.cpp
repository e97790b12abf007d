#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/dynload.h"
#include "tests/platform/scratch_dir.h"

namespace {

using orbtest::ScopedEnv;
using orbtest::ScratchDir;
using Args = std::vector<std::string>;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteScript(const std::string& path, const std::string& body) {
    std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
    chmod(path.c_str(), 0755);
}

// For programs that run on their own: waits (bounded) until a file appears.
bool AwaitFile(const std::string& path) {
    for (int i = 0; i < 5000 && !std::filesystem::exists(path); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::filesystem::exists(path);
}

TEST(CommandLine, SplitsByWindowsRules) {
    using orb::SplitCommandLine;
    EXPECT_EQ(SplitCommandLine(""), Args{});
    EXPECT_EQ(SplitCommandLine("   "), Args{});
    EXPECT_EQ(SplitCommandLine("QUILL.EXE /q /g /x  \"C:\\Orb\\bin\\Lumora.orb\""),
              (Args{"QUILL.EXE", "/q", "/g", "/x", "C:\\Orb\\bin\\Lumora.orb"}));
    // The program name takes no escapes; a quoted one may hold blanks.
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\a\\\" b"), (Args{"C:\\Program Files\\a\\", "b"}));
    EXPECT_EQ(SplitCommandLine("p a\\\\\\\"b"), (Args{"p", "a\\\"b"}));
    EXPECT_EQ(SplitCommandLine("p a\\\\\"b c\""), (Args{"p", "a\\b c"}));
    EXPECT_EQ(SplitCommandLine("p a\\b \"\" \"x\"\"y\""), (Args{"p", "a\\b", "", "x\"y"}));
    EXPECT_EQ(SplitCommandLine("p\t\"unterminated arg"), (Args{"p", "unterminated arg"}));
    // OrbConfig's command line ends with a blank when it has no arguments.
    EXPECT_EQ(SplitCommandLine("/opt/orb/bin/ksorbcls.exe "), Args{"/opt/orb/bin/ksorbcls.exe"});
}

TEST(ResolveProgram, ExeNamesFindProgramsWithoutLetterCase) {
    ScratchDir dir;
    WriteScript(dir / "MyTool", "exit 0");
    std::ofstream(dir / "notes") << "not a program";

    std::string self = orb::ProgramDirectory() + "/platform_tests";
    EXPECT_EQ(orb::ResolveProgram("PLATFORM_TESTS.EXE"), self);
    EXPECT_EQ(orb::ResolveProgram(orb::ProgramDirectory() + "\\Platform_Tests.exe"), self);
    EXPECT_NE(orb::ResolveProgram("SH.EXE"), "");
    EXPECT_EQ(orb::ResolveProgram("mytool.exe", dir.path()), dir / "MyTool");
    EXPECT_EQ(orb::ResolveProgram(dir / "MYTOOL.EXE"), dir / "MyTool");
    EXPECT_EQ(orb::ResolveProgram("mytool.exe"), "");
    EXPECT_EQ(orb::ResolveProgram(dir / "notes"), "");
    EXPECT_EQ(orb::ResolveProgram(dir / "sh.exe"), "");
    EXPECT_EQ(orb::ResolveProgram(""), "");
}

TEST(Process, ExitCodeWorkingDirectoryAndEnvironment) {
    ScratchDir dir;
    ScopedEnv root("ORB_MACHINE_ROOT", dir.path());
    orb::Process process;
    ASSERT_TRUE(orb::StartProcess(
        "SH.EXE -c \"pwd > where.txt; echo $ORB_MACHINE_ROOT > root.txt; exit 7\"", dir.path(),
        &process));
    DWORD code = 0;
    ASSERT_TRUE(orb::WaitProcess(process, INFINITE, &code));
    EXPECT_EQ(code, 7u);
    code = 0;
    EXPECT_TRUE(orb::WaitProcess(process, 0, &code));
    EXPECT_EQ(code, 7u);
    std::string real = std::filesystem::canonical(dir.path()).string();
    EXPECT_EQ(ReadAll(dir / "where.txt"), real + "\n");
    EXPECT_EQ(ReadAll(dir / "root.txt"), dir.path() + "\n");
}

TEST(Process, WaitTimesOutAndKillReportsTheSignal) {
    orb::Process process;
    ASSERT_TRUE(orb::StartProcess("sh -c \"sleep 30\"", "", &process));
    DWORD code = 0;
    EXPECT_FALSE(orb::WaitProcess(process, 20, &code));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_TIMEOUT));
    ASSERT_TRUE(orb::KillProcess(process));
    EXPECT_TRUE(orb::WaitProcess(process, 0, &code));
    EXPECT_EQ(code, 128u + 9u);
}

TEST(Process, MissingProgramOrDirectoryFailsClearly) {
    orb::Process process;
    EXPECT_FALSE(orb::StartProcess("NoSuchProgramAnywhere.EXE /a", "", &process));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(orb::StartProcess("", "", &process));
    EXPECT_FALSE(orb::StartProcess("sh -c true", "/nonexistent/dir", &process));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(orb::WaitProcess(process, 0, nullptr));

    EXPECT_EQ(WinExec("NoSuchProgramAnywhere.EXE", SW_SHOW), 2u);
    EXPECT_EQ(WinExec("/opt/backup\\", SW_SHOW), 2u);
    EXPECT_EQ(WinExec(nullptr, SW_SHOW), 2u);
}

TEST(Process, WinExecStartsWithoutWaiting) {
    ScratchDir dir;
    std::string marker = dir / "started";
    EXPECT_GT(WinExec(("sh -c \"touch '" + marker + "'\"").c_str(), SW_SHOW), 31u);
    EXPECT_TRUE(AwaitFile(marker));
}

TEST(ShellExecute, UrlGoesToTheOpener) {
    ScratchDir dir;
    WriteScript(dir / "opener", "echo \"$1\" > \"$(dirname \"$0\")/opened\"");
    WriteScript(dir / "refuser", "exit 3");
    {
        ScopedEnv opener("ORB_SHELL_OPEN", dir / "opener");
        EXPECT_GT(ShellExecuteA(nullptr, nullptr, "http://vault01:6060", nullptr, nullptr, SW_HIDE), 32);
        EXPECT_EQ(ReadAll(dir / "opened"), "http://vault01:6060\n");
        EXPECT_EQ(ShellExecuteA(nullptr, "print", "http://x", nullptr, nullptr, 0), SE_ERR_NOASSOC);
    }
    {
        ScopedEnv opener("ORB_SHELL_OPEN", dir / "refuser");
        EXPECT_LE(ShellExecuteA(nullptr, "open", "http://vault01:6060", nullptr, nullptr, 0), 32);
    }
    ScopedEnv opener("ORB_SHELL_OPEN", dir / "no-such-opener");
    EXPECT_LE(ShellExecuteA(nullptr, nullptr, "http://vault01:6060", nullptr, nullptr, 0), 32);
}

TEST(ShellExecute, ProgramStartsWithItsParameters) {
    ScratchDir dir;
    WriteScript(dir / "telnet", "echo \"$#:$1\" > \"$(dirname \"$0\")/args.tmp\" && mv \"$(dirname \"$0\")/args.tmp\" \"$(dirname \"$0\")/args\"");
    ScopedEnv path("PATH", dir.path() + ":" + getenv("PATH"));
    EXPECT_GT(ShellExecuteA(nullptr, nullptr, "telnet", "vault 01", nullptr, SW_SHOWNORMAL), 32);
    ASSERT_TRUE(AwaitFile(dir / "args"));
    EXPECT_EQ(ReadAll(dir / "args"), "2:vault\n");
    EXPECT_EQ(ShellExecuteA(nullptr, nullptr, "no-such-tool", "x", nullptr, 1), SE_ERR_FNF);
    EXPECT_EQ(ShellExecuteA(nullptr, nullptr, "", nullptr, nullptr, 1), SE_ERR_FNF);
}

}  // namespace
