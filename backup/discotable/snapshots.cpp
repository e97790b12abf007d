// Handle bookkeeping of table snapshots.
#include "backup/discotable/snapshots.h"

namespace disco {

uint32_t Snapshots::Add(Table table) {
    auto snapshot = std::make_shared<const Table>(std::move(table));
    std::lock_guard<std::mutex> lock(mutex_);
    // Handles go round after 2^32 - 1 opens; skip 0 and those still open.
    while (next_ == 0 || open_.count(next_) != 0) ++next_;
    uint32_t handle = next_++;
    open_.emplace(handle, std::move(snapshot));
    return handle;
}

std::shared_ptr<const Table> Snapshots::Find(uint32_t handle) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = open_.find(handle);
    return it == open_.end() ? nullptr : it->second;
}

bool Snapshots::Remove(uint32_t handle) {
    std::lock_guard<std::mutex> lock(mutex_);
    return open_.erase(handle) != 0;
}

void Snapshots::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_.clear();
}

}  // namespace disco
