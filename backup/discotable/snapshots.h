// Snapshots of the table behind 32-bit handles, for the flat exports of the
// discovery library and the discovery service: a caller holds a number, never
// a pointer, so a stale or foreign handle is an error code, not a crash.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "backup/discotable/discotable.h"

namespace disco {

class Snapshots {
  public:
    // A new handle (never 0) for the table.
    uint32_t Add(Table table);
    // The snapshot of a handle; null when the handle is not open.
    std::shared_ptr<const Table> Find(uint32_t handle) const;
    bool Remove(uint32_t handle);
    void Clear();

  private:
    mutable std::mutex mutex_;
    std::map<uint32_t, std::shared_ptr<const Table>> open_;
    uint32_t next_ = 1;
};

}  // namespace disco
