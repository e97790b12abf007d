// The one place programs are started with posix_spawn: the child begins with
// default signal handling and nothing blocked, whatever the parent (an agent,
// a service) set up for itself. Used by the process calls and by the service
// programs of the simulated service manager.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace orb {

struct SpawnOptions {
    std::string workingDir;  // empty: the parent's
    bool newSession = false; // a service program: its own session, no terminal
    // With newSession: standard input from /dev/null, standard output and
    // error appended to this file (empty: /dev/null).
    std::string logFile;
};

// posix_spawn's answer: 0, or the errno of the failed start.
int SpawnProgram(const std::string& path, const std::vector<std::string>& argv,
                 const SpawnOptions& options, pid_t* pid);

}  // namespace orb
