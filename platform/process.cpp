// Starting and waiting for programs (CreateProcessA/WinExec) with
// posix_spawn. Children inherit the environment, so a whole chain of
// programs works on one machine root.
#include "platform/process.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <errno.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/pathsearch.h"
#include "platform/privatefs.h"
#include "platform/spawn.h"
#include "platform/sync.h"

extern char** environ;

namespace orb {

std::string ResolveProgram(const std::string& name, const std::string& workingDir) {
    std::string path = ToSlashes(name);
    if (path.empty()) return "";
    if (path.find('/') != std::string::npos && IsExecutableFile(path)) return path;
    std::string dir, base;
    SplitPath(path, &dir, &base);
    if (base.empty()) return "";
    std::vector<std::string> names;
    if (EndsWithNoCase(base, ".exe")) names.push_back(base.substr(0, base.size() - 4));
    names.push_back(base);
    if (!dir.empty()) return FindInDirectory(dir, names, IsExecutableFile);
    std::vector<std::string> dirs = DefaultSearchDirectories();
    if (!workingDir.empty()) dirs.insert(dirs.begin(), workingDir);
    for (const std::string& d : dirs) {
        std::string found = FindInDirectory(d, names, IsExecutableFile);
        if (!found.empty()) return found;
    }
    return "";
}

namespace {

DWORD ExitCodeOf(int status) {
    if (WIFEXITED(status)) return static_cast<DWORD>(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return 128u + static_cast<DWORD>(WTERMSIG(status));
    return 0;
}

// Reaps the process if it has ended (block: wait for it). true when reaped.
bool Reap(Process& process, bool block) {
    int status = 0;
    pid_t rc;
    do {
        rc = waitpid(process.pid, &status, block ? 0 : WNOHANG);
    } while (rc < 0 && errno == EINTR);
    if (rc == 0) return false;
    process.ended = true;
    // A pid that is not our child (reaped elsewhere) has no code to give.
    process.exitCode = rc > 0 ? ExitCodeOf(status) : 0;
    process.endSignal = rc > 0 && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return true;
}

// Waits for the process to end or the time to pass; a pidfd makes this one
// poll, and without one (old kernels) short naps do.
void AwaitExit(const Process& process, DWORD timeoutMs) {
    int fd = static_cast<int>(syscall(SYS_pidfd_open, process.pid, 0));
    if (fd >= 0) {
        pollfd p{fd, POLLIN, 0};
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            if (left.count() < 0 || poll(&p, 1, static_cast<int>(left.count())) >= 0) break;
            if (errno != EINTR) break;
        }
        close(fd);
        return;
    }
    for (DWORD waited = 0; waited < timeoutMs; waited += 5) {
        int status = 0;
        if (waitpid(process.pid, &status, WNOHANG | WNOWAIT) != 0) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The reaper thread runs code of whichever module this copy of the platform
// is linked into. A library that starts a program and is then unloaded
// (installer actions, agents) must not take that code away from under the
// thread, so such a module stays mapped until the process ends. (Today's
// libstdc++ already marks such modules undeletable through its unique
// symbols; this does not rely on that.)
void KeepThisModuleMapped() {
    static std::once_flag once;
    std::call_once(once, [] {
        Dl_info info{};
        if (dladdr(reinterpret_cast<void*>(&KeepThisModuleMapped), &info) && info.dli_fname) {
            dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        }
    });
}

class PosixStarter : public ProcessStarter {
  public:
    bool Start(const StartRequest& request, Process* out) override {
        pid_t pid = 0;
        SpawnOptions options;
        options.workingDir = request.workingDir;
        int rc = SpawnProgram(request.program, request.argv, options, &pid);
        if (rc != 0) {
            SetLastError(rc == ENOENT ? ERROR_FILE_NOT_FOUND
                         : rc == EACCES ? ERROR_ACCESS_DENIED
                         : rc == ENOEXEC ? ERROR_BAD_FORMAT
                                         : ERROR_NOT_ENOUGH_MEMORY);
            return false;
        }
        *out = Process{};
        out->pid = pid;
        return true;
    }
};

std::atomic<ProcessStarter*> g_starter{nullptr};

ProcessStarter& StarterInForce() {
    ProcessStarter* installed = g_starter.load();
    return installed ? *installed : SystemProcessStarter();
}

// Starts argv[0] as the program found at path; out null: on its own.
bool StartResolved(const std::string& commandLine, std::string path,
                   const std::vector<std::string>& argv, const std::string& workingDir,
                   Process* out) {
    if (!workingDir.empty() && !IsDirectory(workingDir)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // The child changes directory before exec, so a relative path would be
    // looked up in the wrong place.
    std::error_code ignored;
    path = std::filesystem::absolute(path, ignored).string();
    Process started;
    if (!StarterInForce().Start({commandLine, path, argv, workingDir}, &started)) {
        return false;
    }
    if (out) {
        *out = started;
    } else {
        ReleaseProcess(started);
    }
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The program of an unquoted command line whose path may hold blanks: the
// longest blank-separated beginning (up to the first quote) that names a
// program. Fills *path and *argv; false when no beginning does.
bool FindProgramWithBlanks(const std::string& commandLine, const std::string& workingDir,
                           std::string* path, std::vector<std::string>* argv) {
    size_t start = 0;
    while (start < commandLine.size() && IsBlank(commandLine[start])) ++start;
    if (start >= commandLine.size() || commandLine[start] == '"') return false;
    size_t limit = commandLine.find('"', start);
    if (limit == std::string::npos) limit = commandLine.size();
    for (size_t end = limit; end > start; --end) {
        // A candidate ends where a blank (or the text) follows it.
        if (end < commandLine.size() && !IsBlank(commandLine[end])) continue;
        if (IsBlank(commandLine[end - 1])) continue;
        std::string candidate = commandLine.substr(start, end - start);
        std::string found = ResolveProgram(candidate, workingDir);
        if (found.empty()) continue;
        *path = found;
        *argv = SplitCommandLine("x" + commandLine.substr(end));
        (*argv)[0] = candidate;
        return true;
    }
    return false;
}

}  // namespace

ProcessStarter& SystemProcessStarter() {
    // Never destroyed: threads of a library (an agent's collectors) may
    // still start programs while the process runs its exit handlers.
    static ProcessStarter* starter = new PosixStarter;
    return *starter;
}

void SetProcessStarter(ProcessStarter* starter) { g_starter.store(starter); }

bool StartProgram(const std::vector<std::string>& argv, const std::string& workingDir,
                  Process* out) {
    const std::string dir = ToSlashes(workingDir);
    std::string path = argv.empty() ? "" : ResolveProgram(argv[0], dir);
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return StartResolved("", path, argv, dir, out);
}

bool StartProcess(const std::string& commandLine, const std::string& workingDir, Process* out) {
    const std::string dir = ToSlashes(workingDir);
    std::string path;
    std::vector<std::string> argv;
    if (!FindProgramWithBlanks(commandLine, dir, &path, &argv)) {
        argv = SplitCommandLine(commandLine);
        path = argv.empty() ? "" : ResolveProgram(argv[0], dir);
    }
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    return StartResolved(commandLine, path, argv, dir, out);
}

bool WaitProcess(Process& process, DWORD timeoutMs, DWORD* exitCode) {
    if (!process.ended) {
        if (process.pid <= 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return false;
        }
        if (timeoutMs == INFINITE) {
            Reap(process, true);
        } else if (!Reap(process, false)) {
            AwaitExit(process, timeoutMs);
            if (!Reap(process, false)) {
                SetLastError(ERROR_TIMEOUT);
                return false;
            }
        }
    }
    if (exitCode) *exitCode = process.exitCode;
    return true;
}

bool KillProcess(Process& process) {
    if (process.ended) return true;
    if (process.pid <= 0) return false;
    kill(process.pid, SIGKILL);
    return Reap(process, true);
}

void ReleaseProcess(Process& process) {
    if (process.ended || process.pid <= 0) return;
    Process owned = process;
    process = Process{};
    KeepThisModuleMapped();
    Thread reaper([owned]() mutable { Reap(owned, true); });
    reaper.Detach();
}

int SpawnProgram(const std::string& path, const std::vector<std::string>& argv,
                 const SpawnOptions& options, pid_t* pid) {
    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setsigmask(&attr, &none);
    short flags = POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK;
    if (options.newSession) {
        flags |= POSIX_SPAWN_SETSID;
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        const std::string log = options.logFile.empty() ? "/dev/null" : options.logFile;
        posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                         kPrivateFileMode);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    posix_spawnattr_setflags(&attr, flags);
    if (!options.workingDir.empty())
        posix_spawn_file_actions_addchdir_np(&actions, options.workingDir.c_str());
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int rc = posix_spawn(pid, path.c_str(), &actions, &attr, args.data(), environ);
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    return rc;
}

}  // namespace orb

UINT WinExec(LPCSTR commandLine, UINT /*show*/) {
    orb::Process process;
    if (!commandLine || !orb::StartProcess(commandLine, "", &process)) {
        DWORD error = GetLastError();
        return error == ERROR_PATH_NOT_FOUND || error == ERROR_BAD_FORMAT ? error : ERROR_FILE_NOT_FOUND;
    }
    orb::ReleaseProcess(process);
    return 33;  // any value above 31 means started
}
