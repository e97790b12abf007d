#include "snmpagent/agentsettings.h"

#include "platform/registry.h"

namespace {

void readInterval(const char* name, DWORD* interval) {
    DWORD value = 0;
    if (orb::RegGetDword(kAgentKey, name, &value) == ERROR_SUCCESS && value != 0)
        *interval = value;
}

}  // namespace

AgentIntervals readAgentIntervals() {
    AgentIntervals intervals;
    readInterval("MonitorInterval", &intervals.monitorMs);
    readInterval("TableInterval", &intervals.tableMs);
    readInterval("WatcherInterval", &intervals.watcherMs);
    return intervals;
}
