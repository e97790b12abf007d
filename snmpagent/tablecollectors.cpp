// The collectors of the jobs, tape-drive and media tables: each throws its
// table away and collects it anew from the backup server every interval,
// and ends for good after a failed collection.
#include "snmpagent/trace.h"
#include "snmpagent/workers.h"

namespace {

// What differs between the three collectors.
struct Collector {
    const char* cleanupLine;
    const char* buildingLine;
    const char* failedLine;
    const char* sleepLine;
    DWORD objectType;
};

const Collector kJobs = {"jobsTable: Cleanup old jobs table\n",
                         "jobsTable: Building new jobs table\n",
                         "jobsTable: lebCollectObject failed with RC=%d\n",
                         "jobsTable: Going to sleep for 15 minutes.\n", 1};
const Collector kTapeDrives = {"tdrvsTable: Cleanup old tdrvs table\n",
                               "tdrvsTable: Building new tdrvs table\n",
                               "tdrvsTable: lebCollectObject failed with RC=%d\n",
                               "tdrvsTable: Going to sleep for 15 minutes.\n", 7};
const Collector kMedia = {"mediaTable: Cleanup old media table\n",
                          "mediaTable: Building new media table\n",
                          "mediaTable: lebCollectObject failed with RC=%d\n",
                          "mediaTable: Going to sleep for 15 minutes.\n", 2};

// Code of one collection. No connection to the backup server can be made
// from the agent yet: 101, as when the query library is not initialised.
int collect(const Collector&) {
    return 101;
}

void runCollector(const Collector& collector) {
    do {
        agentTrace("%s", collector.cleanupLine);
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

void tdrvsTable() {
    runCollector(kTapeDrives);
}

void mediaTable() {
    runCollector(kMedia);
}
