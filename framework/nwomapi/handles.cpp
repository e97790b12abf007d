#include "framework/nwomapi/handles.h"

namespace orbom {

namespace {

// Far more than any process holds; beyond it Add reports failure rather than
// searching a nearly full 32-bit space.
constexpr size_t kMaxHandles = 1u << 24;

}  // namespace

HandleTable& HandleTable::Instance() {
    // Never destroyed: handles may still be released from static destructors
    // of the programs that use the library.
    static HandleTable* table = new HandleTable;
    return *table;
}

ORBOM_HANDLE HandleTable::Add(std::shared_ptr<Handled> object) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.size() >= kMaxHandles) return 0;
    do {
        ++last_;
    } while (last_ == 0 || entries_.count(last_));
    entries_.emplace(last_, std::move(object));
    return last_;
}

std::shared_ptr<Handled> HandleTable::Find(ORBOM_HANDLE handle, Kind kind) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(handle);
    if (it == entries_.end() || it->second->kind != kind) return nullptr;
    return it->second;
}

std::shared_ptr<Handled> HandleTable::Take(ORBOM_HANDLE handle, Kind kind) {
    std::shared_ptr<Handled> taken;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = entries_.find(handle);
        if (it == entries_.end() || it->second->kind != kind) return nullptr;
        taken = std::move(it->second);
        entries_.erase(it);
    }
    return taken;
}

}  // namespace orbom
