// A build of the agent for the trap tests: as soon as start-up has created
// the trap queue, the codes listed in ORB_TEST_TRAP_CODES ("12,1,17") are
// queued at once, as the agent's own threads queue theirs.
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "platform/sync.h"
#include "snmpagent/quehlp.h"
#include "snmpagent/trap.h"

namespace {

void queueListedTraps() {
    const char* list = getenv("ORB_TEST_TRAP_CODES");
    if (!list) return;
    // The queue appears during SnmpExtensionInit; wait for it (at most 20 s).
    for (int i = 0; i < 2000 && !mqExists(kTrapQueueName); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) sendTrap(static_cast<BYTE>(std::stoi(item)));
}

orb::Thread g_sender(queueListedTraps);

}  // namespace
