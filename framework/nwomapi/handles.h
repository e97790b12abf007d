// The 32-bit handles the C API hands out. A handle is an index into one
// process-wide table, never a pointer, and values are not reused until the
// counter wraps, so a stale or foreign handle is found missing (or of the
// wrong kind) instead of reaching freed memory. Entries are shared pointers:
// an object removed while another thread still works with it lives until
// that call returns.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "framework/nwomapi/nwomapi.h"

namespace orbom {

enum class Kind { Kernel, Connection, Criteria, PropertyList, Selection, Object };

struct Handled {
    explicit Handled(Kind k) : kind(k) {}
    virtual ~Handled() = default;
    const Kind kind;
};

class HandleTable {
public:
    static HandleTable& Instance();

    // 0 when the table is full.
    ORBOM_HANDLE Add(std::shared_ptr<Handled> object);
    // The object when the handle names one of type T's kind.
    template <class T>
    std::shared_ptr<T> Get(ORBOM_HANDLE handle) {
        return std::static_pointer_cast<T>(Find(handle, T::kKind));
    }
    // Removes the handle when it names an object of type T's kind.
    template <class T>
    std::shared_ptr<T> Remove(ORBOM_HANDLE handle) {
        return std::static_pointer_cast<T>(Take(handle, T::kKind));
    }

private:
    std::shared_ptr<Handled> Find(ORBOM_HANDLE handle, Kind kind);
    std::shared_ptr<Handled> Take(ORBOM_HANDLE handle, Kind kind);

    std::mutex mutex_;
    std::unordered_map<ORBOM_HANDLE, std::shared_ptr<Handled>> entries_;
    ORBOM_HANDLE last_ = 0;
};

}  // namespace orbom
