#include "platform/process.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/dynload.h"
#include "platform/errortext.h"
#include "platform/pathsearch.h"
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

TEST(ResolveProgram, FoldersAreFoundWithoutLetterCaseToo) {
    ScratchDir dir;
    std::filesystem::create_directories(dir / "Orb Framework/bin");
    WriteScript(dir / "Orb Framework/bin/OrbConfig", "exit 0");
    const std::string tool = dir / "Orb Framework/bin/OrbConfig";
    EXPECT_EQ(orb::ResolveProgram(dir.path() + "\\ORB FRAMEWORK\\Bin\\OrbConfig.exe"), tool);
    EXPECT_EQ(orb::FindDirectoryNoCase(dir / "orb framework/BIN/"), dir / "Orb Framework/bin");
    EXPECT_EQ(orb::FindDirectoryNoCase(dir / "orb framework/./BIN/../bin"),
              dir / "Orb Framework/bin/../bin");
    // Among two spellings the sorted first wins, whatever the file system lists first.
    std::filesystem::create_directories(dir / "Orb Framework/BIN");
    EXPECT_EQ(orb::FindDirectoryNoCase(dir / "orb framework/Bin"), dir / "Orb Framework/BIN");
    EXPECT_EQ(orb::ResolveProgram(dir / "Orb Framework/bin/orbconfig.exe"), tool);
    // A file is not a folder; a missing component finds nothing.
    EXPECT_EQ(orb::FindDirectoryNoCase(dir / "orb framework/bin/orbconfig"), "");
    EXPECT_EQ(orb::FindDirectoryNoCase(dir / "missing/bin"), "");
    EXPECT_EQ(orb::ResolveProgram(dir / "missing/bin/OrbConfig.exe"), "");
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
    EXPECT_EQ(process.endSignal, 9);

    // The same code given by the program itself is no signal.
    ASSERT_TRUE(orb::StartProcess("sh -c \"exit 137\"", "", &process));
    EXPECT_TRUE(orb::WaitProcess(process, INFINITE, &code));
    EXPECT_EQ(code, 137u);
    EXPECT_EQ(process.endSignal, 0);
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

TEST(CommandLine, JoinedArgumentsSplitBackToThemselves) {
    const Args args{"/a", "two words", "", "say \"hi\"", "C:\\dir\\", "trail\\\\", "tab\there"};
    const std::string line = orb::JoinCommandLine(args);
    EXPECT_EQ(line.substr(0, 15), "/a \"two words\" ");
    Args split = orb::SplitCommandLine("p " + line);
    split.erase(split.begin());
    EXPECT_EQ(split, args);
    EXPECT_EQ(orb::JoinCommandLine({}), "");
}

TEST(Process, UnquotedPathsWithBlanksFindTheLongestProgram) {
    ScratchDir dir;
    ScopedEnv root("ORB_MACHINE_ROOT", dir.path());
    const std::string tool = dir / "Backup Home/bin/tool";
    std::filesystem::create_directories(dir / "Backup Home/bin");
    WriteScript(tool, "echo \"$0|$1|$2\" > \"" + dir.path() + "/seen.txt\"");
    // A program where Windows would stop at the first blank.
    WriteScript(dir / "Backup", "echo wrong > \"" + dir.path() + "/seen.txt\"");

    orb::Process process;
    ASSERT_TRUE(orb::StartProcess(dir.path() + "\\Backup Home\\bin\\TOOL.EXE /a \"b c\"",
                                  dir.path() + "\\Backup Home", &process));
    DWORD code = 1;
    ASSERT_TRUE(orb::WaitProcess(process, INFINITE, &code));
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(ReadAll(dir / "seen.txt"), tool + "|/a|b c\n");
    // No beginning names a program: not found, nothing started.
    std::filesystem::remove(dir / "Backup");
    EXPECT_FALSE(orb::StartProcess(dir.path() + "/Backup Home/none /a", "", &process));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

class Recorder : public orb::ProcessStarter {
  public:
    bool Start(const orb::StartRequest& request, orb::Process* out) override {
        requests.push_back(request);
        *out = orb::Process{};
        out->ended = true;
        out->exitCode = 3;
        return true;
    }
    std::vector<orb::StartRequest> requests;
};

TEST(Process, AnInstalledStarterSeesEveryStartAndStartsNothing) {
    ScratchDir dir;
    WriteScript(dir / "tool", "touch \"" + dir.path() + "/ran\"");
    Recorder recorder;
    orb::SetProcessStarter(&recorder);
    EXPECT_GT(WinExec((dir / "tool.exe /x").c_str(), SW_SHOW), 31u);
    orb::Process process;
    EXPECT_TRUE(orb::StartProgram({"TOOL.EXE", "y"}, dir.path(), &process));
    DWORD code = 0;
    EXPECT_TRUE(orb::WaitProcess(process, INFINITE, &code));
    // A missing program never reaches the starter.
    EXPECT_EQ(WinExec((dir / "none.exe").c_str(), SW_SHOW), 2u);
    orb::SetProcessStarter(nullptr);

    EXPECT_EQ(code, 3u);
    ASSERT_EQ(recorder.requests.size(), 2u);
    EXPECT_EQ(recorder.requests[0].commandLine, dir / "tool.exe /x");
    EXPECT_EQ(recorder.requests[0].program, dir / "tool");
    EXPECT_EQ(recorder.requests[0].argv, (Args{dir / "tool.exe", "/x"}));
    EXPECT_EQ(recorder.requests[1].program, dir / "tool");
    EXPECT_EQ(recorder.requests[1].workingDir, dir.path());
    EXPECT_FALSE(std::filesystem::exists(dir / "ran"));
}

TEST(CreateProcess, WaitsReadsTheExitCodeAndRefusesClosedHandles) {
    ScratchDir dir;
    WriteScript(dir / "tool", "pwd > where.txt; exit 4");
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    std::string line = dir / "tool.exe ";
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, DETACHED_PROCESS,
                               nullptr, (dir.path() + "\\").c_str(), &startup, &info));
    EXPECT_NE(info.hProcess, info.hThread);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 4u);
    EXPECT_EQ(ReadAll(dir / "where.txt"), std::filesystem::canonical(dir.path()).string() + "\n");
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(GetExitCodeProcess(info.hThread, &code));
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_FALSE(CloseHandle(info.hThread));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 0), WAIT_FAILED);

    // A running one answers STILL_ACTIVE and times out; closing lets it run on.
    std::string sleeper = "sh -c \"sleep 0.3; touch '" + dir.path() + "/done'\"";
    ASSERT_TRUE(CreateProcessA(nullptr, sleeper.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &info));
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(info.hProcess, 10), WAIT_TIMEOUT);
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_TRUE(AwaitFile(dir / "done"));

    std::string missing = dir / "none.exe ";
    EXPECT_FALSE(CreateProcessA(nullptr, missing.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                dir.path().c_str(), &startup, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(info.hProcess, nullptr);
    EXPECT_FALSE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                (dir / "nodir").c_str(), &startup, &info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(FormatMessage, SystemTextsWithWindowsBufferRules) {
    const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD neutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
    char text[MAX_PATH];
    EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_FILE_NOT_FOUND, neutral, text, sizeof text, nullptr), 44u);
    EXPECT_STREQ(text, "The system cannot find the file specified.\r\n");
    // Exactly the text and its terminator fits; one byte less does not.
    EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_ACCESS_DENIED, neutral, text, 20, nullptr), 19u);
    EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_ACCESS_DENIED, neutral, text, 19, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_STREQ(text, "");
    EXPECT_EQ(FormatMessageA(flags, nullptr, 42, neutral, text, sizeof text, nullptr), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | flags, nullptr, 2, neutral, text,
                             sizeof text, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    EXPECT_EQ(orb::SignalExitText(128 + 9), "Ended by signal 9 (Killed).");
    EXPECT_EQ(orb::SignalExitText(128), "");
    EXPECT_EQ(orb::SignalExitText(1), "");
}

}  // namespace
