// The business process views a pass rebuilds before it reads the discovery
// table: the views of every product generation are removed, the current
// product's view is made under the repository root and filled with the
// backup objects that exist; the older line's view when that line is here.
#pragma once

#include "publisher/PublisherWorker.h"

namespace publisher {

// 1 on success, 0 on failure (the status line then shows text 7 or 19).
int CreateBusinessViews(CPublisherWorker& worker, PublishRun& run);
int CreateVaultlineView(CPublisherWorker& worker, PublishRun& run);

}  // namespace publisher
