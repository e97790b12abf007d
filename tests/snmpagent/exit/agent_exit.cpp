// A process that loads the agent as the SNMP service does, starts it, and
// ends the ordinary way (exit handlers and static destructors run) as soon as
// one of the agent's threads is inside a call to the backup server: the
// service control command the test installs leaves the named marker file
// behind when it is called and takes a moment to answer.
//   agent_exit AGENT_LIBRARY MARKER_FILE
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "platform/dynload.h"
#include "platform/snmp.h"

namespace {

bool exists(const char* path) {
    struct stat st {};
    return stat(path, &st) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    // Never unloaded, as in the service: its threads run until the process ends.
    static HMODULE agent = LoadLibraryA(argv[1]);
    auto init = agent ? reinterpret_cast<PFNSNMPEXTENSIONINIT>(
                            GetProcAddress(agent, "SnmpExtensionInit"))
                      : nullptr;
    if (!init) return 3;
    HANDLE trapEvent = nullptr;
    AsnObjectIdentifier view{};
    if (!init(GetTickCount(), &trapEvent, &view)) return 4;
    for (int i = 0; i < 1000 && !exists(argv[2]); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return exists(argv[2]) ? 0 : 5;
}
