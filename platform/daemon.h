// Programs that run as services: started apart from the caller (their own
// session, output to a log file) so that they outlive the program that
// started them, and known afterwards by process id and start time, so that
// another process can tell whether one still runs and stop it. A process id
// alone could name a newer, unrelated process once the service ended.
#pragma once

#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace orb {

struct ServiceProcess {
    int pid = 0;
    uint64_t startTime = 0;  // the kernel's start time of the process (clock ticks after boot)
};

// Starts the command line (Windows rules, "X.EXE" found as process.h says)
// in workingDir with standard input from /dev/null and standard output and
// error appended to logFile (empty: discarded). false and the last error
// when it cannot be started.
bool StartServiceProcess(const std::string& commandLine, const std::string& workingDir,
                         const std::string& logFile, ServiceProcess* out);
// True while that process runs (an ended one not yet reaped does not count).
bool ServiceProcessRunning(const ServiceProcess& process);
// SIGTERM, then SIGKILL when it still runs after graceMs. true once it ended.
bool StopServiceProcess(const ServiceProcess& process, DWORD graceMs);

}  // namespace orb
