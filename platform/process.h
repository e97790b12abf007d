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
    // The signal that ended it; 0 when it exited by itself. An exit code of
    // 128 + n alone cannot tell a signal from a program's own code.
    int endSignal = 0;
};

// Starts the command line in workingDir (empty: the current directory).
// false when the program cannot be found or started (GetLastError says why).
//
// An unquoted program name with blanks in its path ("/opt/my backup/tool
// /a") is found as Windows finds it, by trying the command line's
// blank-separated beginnings as the program -- but the longest one that
// names a program wins, not the shortest, so that a stray "/opt/my" cannot
// stand in for the program meant. The beginnings tried end before the
// first double quote. workingDir may be written with "\\".
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

// Every start above passes through the starter in force once the program
// and the working directory are known to exist. Tests install their own to
// see what would be started (and to answer with an exit code) without
// starting anything.
struct StartRequest {
    std::string commandLine;  // as the caller wrote it; empty for StartProgram
    std::string program;      // absolute path of the file that runs
    std::vector<std::string> argv;  // argv[0] as the command line names the program
    std::string workingDir;   // "/" separators; empty: the current directory
};

class ProcessStarter {
  public:
    virtual ~ProcessStarter() = default;
    // true and the process in *out (a process that never runs may come back
    // ended, with its exit code); false with the last error set.
    virtual bool Start(const StartRequest& request, Process* out) = 0;
};

// The starter that really starts programs (posix_spawn).
ProcessStarter& SystemProcessStarter();
// Installs a starter (null restores the system one). For tests.
void SetProcessStarter(ProcessStarter* starter);

// The inverse of SplitCommandLine for arguments: joins them with blanks,
// quoting those that are empty or hold blanks or quotes, so that a program
// that splits the text again gets the same words.
std::string JoinCommandLine(const std::vector<std::string>& args);

// The desktop opener for ShellExecuteA: ORB_SHELL_OPEN names the command
// (default "xdg-open"); it gets the document or URL as its one argument.
std::string ShellOpenCommand();

}  // namespace orb

// Returns > 31 on success, 2 (file not found) when the program is missing.
UINT WinExec(LPCSTR commandLine, UINT show);
// verb "open" (or null). Returns a value > 32 on success.
intptr_t ShellExecuteA(void* hwnd, LPCSTR verb, LPCSTR file, LPCSTR parameters,
                       LPCSTR directory, int show);

// CreateProcessA and the process handles it gives. A handle names a started
// process in a table; a closed or unknown one is refused
// (ERROR_INVALID_HANDLE), never followed. Closing the last handle of a
// process that still runs lets it run on its own.
struct OrbProcess;
typedef OrbProcess* PROCESS_HANDLE;

#define DETACHED_PROCESS 0x00000008u
#define CREATE_NEW_CONSOLE 0x00000010u
#define STARTF_USESHOWWINDOW 0x00000001u
#define WAIT_OBJECT_0 0x00000000u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define STILL_ACTIVE 259u

struct STARTUPINFOA {
    DWORD cb;
    LPSTR lpReserved;
    LPSTR lpDesktop;
    LPSTR lpTitle;
    DWORD dwX, dwY, dwXSize, dwYSize, dwXCountChars, dwYCountChars, dwFillAttribute;
    DWORD dwFlags;
    WORD wShowWindow;
    WORD cbReserved2;
    LPBYTE lpReserved2;
    void* hStdInput;
    void* hStdOutput;
    void* hStdError;
};
typedef STARTUPINFOA* LPSTARTUPINFOA;

struct PROCESS_INFORMATION {
    PROCESS_HANDLE hProcess;
    PROCESS_HANDLE hThread;  // names the same process; close it too
    DWORD dwProcessId;
    DWORD dwThreadId;
};
typedef PROCESS_INFORMATION* LPPROCESS_INFORMATION;

// applicationName null: the program is the command line's first word
// (found as StartProcess finds it); else applicationName, and commandLine
// gives the arguments (its first word is argv[0]). The child always inherits
// the environment and the standard streams: there are no consoles to detach
// from, and a batch chain must see its children's lines. environment must
// be null (no other block is supported: ERROR_INVALID_PARAMETER).
BOOL CreateProcessA(LPCSTR applicationName, LPSTR commandLine, void* processAttributes,
                    void* threadAttributes, BOOL inheritHandles, DWORD creationFlags,
                    LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startupInfo,
                    LPPROCESS_INFORMATION processInformation);
// WAIT_OBJECT_0 when the process has ended, WAIT_TIMEOUT, or WAIT_FAILED.
DWORD WaitForSingleObject(PROCESS_HANDLE process, DWORD timeoutMs);
// STILL_ACTIVE while it runs.
BOOL GetExitCodeProcess(PROCESS_HANDLE process, LPDWORD exitCode);
BOOL CloseHandle(PROCESS_HANDLE handle);

namespace orb {
// The signal that ended the process behind a CreateProcessA handle; 0 when
// it exited by itself, still runs, or the handle is unknown.
int ProcessEndSignal(PROCESS_HANDLE handle);
}  // namespace orb
