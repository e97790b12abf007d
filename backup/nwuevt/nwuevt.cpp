// Event recording: one appended line per event.
#include "backup/nwuevt/nwuevt.h"

#include <cstdio>
#include <string>

#include "platform/filelock.h"
#include "platform/machine.h"
#include "platform/sync.h"

extern "C" int32_t EmEvt_wto(uint32_t value1, uint32_t value2) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char line[128];
    int n = std::snprintf(line, sizeof line, "%04u-%02u-%02u %02u:%02u:%02u EmEvt_wto %u %u\n",
                          now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                          value1, value2);
    std::string path = orb::MachinePath("log/events.log");
    // One write of the whole line, so concurrent writers never interleave within it.
    orb::AppendLocked(path, line, static_cast<size_t>(n));
    return 0;
}
