// The agent's objects: the rows registered at start-up, and the entries that
// serve every cell of the four tables registered as their rows come and go.
#pragma once

#include <cstddef>

#include "snmpagent/mibentry.h"

inline constexpr size_t kMibTableRows = 27;
extern const MibEntry kMibTable[kMibTableRows];

extern const MibEntry kJobsEntry;      // cells below .9
extern const MibEntry kMediaEntry;     // cells below .10
extern const MibEntry kTapeDrvsEntry;  // cells below .11
extern const MibEntry kHistoryEntry;   // cells below .12.1

// Registers every row of kMibTable below the agent root, in table order.
void registerMibTable();
