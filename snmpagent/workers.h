// The agent's five worker threads. They live as long as the agent is loaded;
// when the library is unloaded (or the process ends) they are told to stop
// and joined, so none of them runs on in code that is gone.
#pragma once

#include "snmpagent/agentsettings.h"

// Starts, in this order: serviceMonitor, jobsTable, tdrvsTable, mediaTable,
// historyStatus. Only the first call starts anything.
void startWorkerThreads(const AgentIntervals& intervals);
// The intervals the threads were started with.
const AgentIntervals& workerIntervals();
// Sleeps on the platform clock; false when the agent is stopping instead.
bool workerSleep(DWORD ms);

// The thread bodies.
void serviceMonitor();
void jobsTable();
void tdrvsTable();
void mediaTable();
void historyStatus();
