// RunCommand and BackgroundCommand over posix_spawn, FreeLoopbackPort over a
// socket bound to port 0.
#include "platform/command.h"
#include "platform/privatefs.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

extern char** environ;

namespace orb {

namespace {

using SteadyClock = std::chrono::steady_clock;

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
    std::vector<char*> out;
    for (const std::string& a : argv) out.push_back(const_cast<char*>(a.c_str()));
    out.push_back(nullptr);
    return out;
}

// Spawns argv with standard output and error on outFd (-1: /dev/null).
int Spawn(const std::vector<std::string>& argv, int outFd) {
    if (argv.empty()) return 0;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (outFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, outFd, 1);
        posix_spawn_file_actions_adddup2(&actions, outFd, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
    }
    pid_t pid = 0;
    std::vector<char*> args = ArgvPointers(argv);
    const int rc = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

int ExitCode(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// Waits for pid until the deadline; true and *status when it ended.
bool WaitUntil(int pid, SteadyClock::time_point deadline, int* status) {
    for (;;) {
        const pid_t done = waitpid(pid, status, WNOHANG);
        if (done == pid) return true;
        if (done < 0) {
            *status = -1;
            return true;
        }
        if (SteadyClock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

int RunCommand(const std::vector<std::string>& argv, DWORD timeoutMs, std::string* output) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return -1;
    const int pid = Spawn(argv, fds[1]);
    close(fds[1]);
    if (pid == 0) {
        close(fds[0]);
        return -1;
    }
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    bool timedOut = false;
    char buffer[4096];
    for (;;) {  // read until the program closes its output or time runs out
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
                .count();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        if (output) output->append(buffer, static_cast<size_t>(n));
    }
    close(fds[0]);
    int status = 0;
    if (timedOut || !WaitUntil(pid, deadline, &status)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -2;
    }
    return ExitCode(status);
}

BackgroundCommand::~BackgroundCommand() { Stop(); }

bool BackgroundCommand::Start(const std::vector<std::string>& argv, const std::string& logFile) {
    if (pid_) return false;
    int fd = -1;
    if (!logFile.empty()) {
        fd = orb::OpenPrivateFile(logFile, O_WRONLY | O_APPEND);
        if (fd < 0) return false;
    }
    pid_ = Spawn(argv, fd);
    if (fd >= 0) close(fd);
    status_ = -1;
    return pid_ != 0;
}

bool BackgroundCommand::Running() {
    if (!pid_) return false;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) return true;
    status_ = ExitCode(status);
    pid_ = 0;
    return false;
}

int BackgroundCommand::Stop(DWORD graceMs) {
    if (!Running()) return status_;
    kill(pid_, SIGTERM);
    int status = 0;
    if (!WaitUntil(pid_, SteadyClock::now() + std::chrono::milliseconds(graceMs), &status)) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
    }
    pid_ = 0;
    status_ = ExitCode(status);
    return status_;
}

int FreeLoopbackPort(bool udp) {
    const int fd = socket(AF_INET, (udp ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0);
    if (fd < 0) return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

}  // namespace orb
