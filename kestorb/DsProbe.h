// Asks the backup product's discovery service ("dsload.dll") whether a
// server runs a product. The library is loaded for each question and
// unloaded again; its absence answers no.
#pragma once

#include <cstdint>

#include "kestorb/KestContext.h"

namespace kest {

// Product id of the backup server the SAN view looks for.
inline constexpr int32_t kVaultlineProductId = 65;

// Entry points of "dsload.dll", looked up by name.
extern "C" {
typedef int32_t (*KestDSLoadFn)(int32_t reserved);
typedef int32_t (*DSInitEnumServerFn)(uint32_t* enumeration, uint32_t* second);
// name: zero-filled 44 bytes; record: 72 bytes of the service's own layout.
typedef int32_t (*DSTblEnumServerByProductIdFn)(uint32_t enumeration, uint32_t* value,
                                                int32_t productId, char* name, void* record);
typedef int32_t (*KestDSUnLoadFn)();
typedef int32_t (*DSDeInitEnumServerFn)(uint32_t enumeration);
}

bool IsVLProductFound(KestContext& ctx, const char* serverName, int32_t productId);

}  // namespace kest
