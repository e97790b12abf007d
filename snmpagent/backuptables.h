// The jobs (.9), media (.10) and tape-drive (.11) tables: the agent's copies
// of the backup server's objects, rebuilt by their collector threads.
#pragma once

#include "snmpagent/recordtable.h"

RecordTable& jobsTableRows();
RecordTable& mediaTableRows();
RecordTable& tdrvsTableRows();

// Add one record as a row (17 when its identifier is present).
int jobsInsert(const BYTE* record);
int mediaInsert(const BYTE* record);
int tdrvsInsert(const BYTE* record);
