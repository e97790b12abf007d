// Running other programs by argument vector, for tools and tests that drive
// command-line programs (the SNMP command-line tools, trap receivers, the
// system's own services): one command run to its end with its output
// captured, or one program kept running in the background until stopped.
// Programs are found on PATH when the name has no "/". Every wait is bounded.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

namespace orb {

// Runs argv to its end, standard output and error together into *output
// (may be null). Returns the exit code, 128 + signal number when killed by a
// signal, -1 when the program could not be started, -2 when it ran longer
// than timeoutMs (it is then killed).
int RunCommand(const std::vector<std::string>& argv, DWORD timeoutMs, std::string* output);

// A program running in the background, its standard output and error
// appended to a log file (empty: discarded). Stopped (SIGTERM, then SIGKILL
// after a grace period) when the object is destroyed.
class BackgroundCommand {
  public:
    BackgroundCommand() = default;
    ~BackgroundCommand();
    BackgroundCommand(const BackgroundCommand&) = delete;
    BackgroundCommand& operator=(const BackgroundCommand&) = delete;

    bool Start(const std::vector<std::string>& argv, const std::string& logFile);
    // True while the program has not ended.
    bool Running();
    // SIGTERM, wait up to graceMs, then SIGKILL. Returns the exit code as
    // RunCommand does (or -1 when nothing was running).
    int Stop(DWORD graceMs = 5000);
    int Pid() const { return pid_; }

  private:
    int pid_ = 0;
    int status_ = -1;
};

// A TCP or UDP port on 127.0.0.1 that nothing is bound to at the moment of
// the call (0 when none could be found).
int FreeLoopbackPort(bool udp);

}  // namespace orb
