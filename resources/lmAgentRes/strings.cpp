// The string table of "lmAgentRes.dll": the names of the service states the
// agent reports, by resource number (0 is the text for a state it cannot read).
#include <cstddef>

namespace {

const char* const kStrings[] = {
    "Unknown",           // 0
    "Start Pending",     // 1  SERVICE_START_PENDING
    "Stop Pending",      // 2  SERVICE_STOP_PENDING
    "Running",           // 3  SERVICE_RUNNING
    "Continue Pending",  // 4  SERVICE_CONTINUE_PENDING
    "Pause Pending",     // 5  SERVICE_PAUSE_PENDING
    "Paused",            // 6  SERVICE_PAUSED
    "Stopped",           // 7  SERVICE_STOPPED
};

}  // namespace

extern "C" __attribute__((visibility("default"))) const char* OrbResourceString(unsigned id) {
    return id < sizeof kStrings / sizeof kStrings[0] ? kStrings[id] : nullptr;
}
