// The collectors of the jobs, tape-drive and media tables: each throws its
// table away and collects it anew from the backup server every interval,
// and ends for good after a failed collection.
#include "snmpagent/backuptables.h"
#include "snmpagent/serverquery.h"
#include "snmpagent/trace.h"
#include "snmpagent/workers.h"

namespace {

int jobsCB(int32_t, const BYTE* record) {
    agentTrace("lebCB:  Inserting record into jobs table\n");
    jobsInsert(record);
    return 0;
}

int tdrvsCB(int32_t, const BYTE* record) {
    agentTrace("lebCB:  Inserting record into tdrv table\n");
    tdrvsInsert(record);
    return 0;
}

int mediaCB(int32_t, const BYTE* record) {
    agentTrace("lebCB:  Inserting record into media table\n");
    mediaInsert(record);
    return 0;
}

// What differs between the three collectors.
struct Collector {
    const char* cleanupLine;
    const char* buildingLine;
    const char* failedLine;
    const char* sleepLine;
    DWORD objectType;
    RecordTable& (*table)();
    LebRecordCallback callback;
};

const Collector kJobs = {"jobsTable: Cleanup old jobs table\n",
                         "jobsTable: Building new jobs table\n",
                         "jobsTable: lebCollectObject failed with RC=%d\n",
                         "jobsTable: Going to sleep for 15 minutes.\n",
                         1,
                         jobsTableRows,
                         jobsCB};
const Collector kTapeDrives = {"tdrvsTable: Cleanup old tdrvs table\n",
                               "tdrvsTable: Building new tdrvs table\n",
                               "tdrvsTable: lebCollectObject failed with RC=%d\n",
                               "tdrvsTable: Going to sleep for 15 minutes.\n",
                               7,
                               tdrvsTableRows,
                               tdrvsCB};
const Collector kMedia = {"mediaTable: Cleanup old media table\n",
                          "mediaTable: Building new media table\n",
                          "mediaTable: lebCollectObject failed with RC=%d\n",
                          "mediaTable: Going to sleep for 15 minutes.\n",
                          2,
                          mediaTableRows,
                          mediaCB};

int collect(const Collector& collector) {
    int code = 0;
    lebCollectObject(static_cast<int32_t>(collector.objectType), 0, collector.callback, &code);
    return code;
}

void runCollector(const Collector& collector) {
    do {
        agentTrace("%s", collector.cleanupLine);
        collector.table().clear();
        agentTrace("%s", collector.buildingLine);
        const int rc = collect(collector);
        if (rc != 0) {
            agentTrace(collector.failedLine, rc);
            return;
        }
        agentTrace("%s", collector.sleepLine);
    } while (workerSleep(workerIntervals().tableMs));
}

}  // namespace

void jobsTable() {
    agentTrace("jobsTable: Entered\n");
    runCollector(kJobs);
}

void tdrvsTable() { runCollector(kTapeDrives); }

void mediaTable() { runCollector(kMedia); }
