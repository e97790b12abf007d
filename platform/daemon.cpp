// Service processes: posix_spawn into a new session, identified by
// /proc/<pid>/stat (state and start time).
#include "platform/daemon.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "platform/spawn.h"


namespace orb {
namespace {

// Fields 3 (state) and 22 (start time) of /proc/<pid>/stat. The command
// name (field 2) is in parentheses and may hold blanks, so the fields are
// counted from its closing parenthesis.
// A process that ends between the open and the read makes the read fail
// with ESRCH (the stream library throws for it), which means it is gone.
bool ReadStat(int pid, char* state, uint64_t* startTime) {
    std::string text;
    try {
        std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    } catch (const std::exception&) {
        return false;
    }
    size_t close = text.rfind(')');
    if (close == std::string::npos) return false;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    for (int index = 3; fields >> field; ++index) {
        if (index == 3) *state = field.empty() ? '?' : field[0];
        if (index == 22) {
            *startTime = std::strtoull(field.c_str(), nullptr, 10);
            return true;
        }
    }
    return false;
}

}  // namespace

bool StartServiceProcess(const std::string& commandLine, const std::string& workingDir,
                         const std::string& logFile, ServiceProcess* out) {
    std::vector<std::string> argv = SplitCommandLine(commandLine);
    std::string path = argv.empty() ? "" : ResolveProgram(argv[0], workingDir);
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    std::error_code ignored;
    path = std::filesystem::absolute(path, ignored).string();
    SpawnOptions options;
    options.workingDir = workingDir;
    options.newSession = true;
    options.logFile = logFile;
    pid_t pid = 0;
    const int rc = SpawnProgram(path, argv, options, &pid);
    if (rc != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    ServiceProcess started;
    started.pid = pid;
    char state = '?';
    ReadStat(pid, &state, &started.startTime);
    // Reaped here while this program lives; by init once it has ended.
    Process child;
    child.pid = pid;
    ReleaseProcess(child);
    if (out) *out = started;
    SetLastError(ERROR_SUCCESS);
    return true;
}

bool ServiceProcessRunning(const ServiceProcess& process) {
    if (process.pid <= 0) return false;
    char state = '?';
    uint64_t startTime = 0;
    if (!ReadStat(process.pid, &state, &startTime)) return false;
    return state != 'Z' && state != 'X' && startTime == process.startTime;
}

bool StopServiceProcess(const ServiceProcess& process, DWORD graceMs) {
    if (!ServiceProcessRunning(process)) return true;
    kill(process.pid, SIGTERM);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(graceMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (!ServiceProcessRunning(process)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill(process.pid, SIGKILL);
    for (int i = 0; i < 100 && ServiceProcessRunning(process); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return !ServiceProcessRunning(process);
}

}  // namespace orb
