// Starting programs. Command lines are Windows command lines: the first
// word (quoted or not) is the program, the rest are split by the Windows
// rules into arguments. A program written "X.EXE" (any letter case, with or
// without a directory) is the program X: an exact path when it exists, else
// the same file name without ".exe" case-insensitively in the given
// directory, the running program's directory, then PATH.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

#define SW_HIDE 0
#define SW_SHOWNORMAL 1
#define SW_SHOW 5

// ShellExecuteA failures (values of 32 or less).
#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

namespace orb {

// Splits a Windows command line into argv (CommandLineToArgvW rules).
std::vector<std::string> SplitCommandLine(const std::string& commandLine);
// Path of the program a "X.EXE" name resolves to; empty when none.
std::string ResolveProgram(const std::string& name, const std::string& workingDir = "");

struct Process {
    int pid = 0;
    bool ended = false;  // reaped; exitCode holds its code
    DWORD exitCode = 0;
};

// Starts the command line in workingDir (empty: the current directory).
// false when the program cannot be found or started (GetLastError says why).
bool StartProcess(const std::string& commandLine, const std::string& workingDir, Process* out);
// Starts program (resolved as above) with these arguments; argv[0] is the
// program as given.
bool StartProgram(const std::vector<std::string>& argv, const std::string& workingDir,
                  Process* out);
// Waits up to timeoutMs (INFINITE: forever). true and the exit code when the
// process ended (a signal gives 128 + signal number). Waiting again on an
// ended process gives the same code.
bool WaitProcess(Process& process, DWORD timeoutMs, DWORD* exitCode);
// Ends the process at once and reaps it.
bool KillProcess(Process& process);
// Lets a started process run on its own: it is reaped when it ends, as
// Windows forgets a process whose handles are closed.
void ReleaseProcess(Process& process);

// The desktop opener for ShellExecuteA: ORB_SHELL_OPEN names the command
// (default "xdg-open"); it gets the document or URL as its one argument.
std::string ShellOpenCommand();

}  // namespace orb

// Returns > 31 on success, 2 (file not found) when the program is missing.
UINT WinExec(LPCSTR commandLine, UINT show);
// verb "open" (or null). Returns a value > 32 on success.
intptr_t ShellExecuteA(void* hwnd, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                       LPCSTR directory, int show);
