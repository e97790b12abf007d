// Asks the backup product's discovery service ("dsload.dll") whether a
// server runs a product. The library is loaded for each question and
// unloaded again; its absence answers no.
#pragma once

#include <cstdint>

#include "backup/dsload/dsload.h"
#include "kestorb/KestContext.h"

namespace kest {

// Product id of the backup server the SAN view looks for.
inline constexpr int32_t kVaultlineProductId = 65;

// Entry points of "dsload.dll", looked up by name: the service's own shapes.
using KestDSLoadFn = decltype(&KestDSLoad);
using DSInitEnumServerFn = decltype(&DSInitEnumServer);
using DSTblEnumServerByProductIdFn = decltype(&DSTblEnumServerByProductId);
using KestDSUnLoadFn = decltype(&KestDSUnLoad);
using DSDeInitEnumServerFn = decltype(&DSDeInitEnumServer);

bool IsVLProductFound(KestContext& ctx, const char* serverName, int32_t productId);

}  // namespace kest
