// The walk over the backup product's discovery table: which records are
// published ("Support", owner, product release), which changed within the
// pass (the change cache), the stop checks, the counters and the log lines.
#pragma once

#include <cstdint>

#include "backup/vlbrdcst/vlbrdcst.h"
#include "publisher/PublisherWorker.h"

namespace publisher {

// 1 when the table was read to its end or could not be opened, 0 when stopped.
int ReadDiscoveryTable(CPublisherWorker& worker, PublishRun& run);
// Records of the current product line (release 9 and later, Unix servers):
// 1 when the record's object was published.
int ProcessRecord(CPublisherWorker& worker, uint32_t table, const uint32_t* index,
                  const DiscoveryRecord& record);
// Windows-family records of the older product line (release below 9).
int ProcessVaultlineRecord(CPublisherWorker& worker, uint32_t table, const uint32_t* index,
                           const DiscoveryRecord& record);

// The process keeps what it read of "Support"; this forgets both copies so
// the next record reads the registry again (a changed installation).
void ForgetSupportSetting();

}  // namespace publisher
