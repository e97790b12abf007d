// The client-side objects behind the API's handles. Each carries its own
// mutex, so that one handle used from two threads is serialised; the lock
// order is kernel, then connection, then selection, and the handle table's
// lock is never held while any of them is taken.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "framework/nwomapi/handles.h"
#include "framework/nwomapi/store.h"

namespace orbom {

struct Kernel : Handled {
    static constexpr Kind kKind = Kind::Kernel;
    Kernel() : Handled(kKind) {}
    std::mutex mutex;
    std::string clientName;
    std::set<ORBOM_CONNECTION> connections;
    bool listing = false;  // EnumBegin was called
    std::vector<std::string> repositories;
    size_t nextRepository = 0;
};

struct Connection : Handled {
    static constexpr Kind kKind = Kind::Connection;
    Connection() : Handled(kKind) {}
    std::mutex mutex;  // guards store
    std::unique_ptr<Store> store;
    ORBOM_KERNEL kernel = 0;
    std::mutex selectionsMutex;
    std::set<ORBOM_SELECTION> selections;
};

// Criteria and property lists have one shape and two kinds, so that one
// cannot be passed for the other.
template <Kind K>
struct ValueList : Handled {
    static constexpr Kind kKind = K;
    ValueList() : Handled(kKind) {}
    std::mutex mutex;
    std::vector<NamedValue> entries;
};
using CriteriaList = ValueList<Kind::Criteria>;
using PropertyList = ValueList<Kind::PropertyList>;

struct SelectionCursor : Handled {
    static constexpr Kind kKind = Kind::Selection;
    SelectionCursor() : Handled(kKind) {}
    std::mutex mutex;
    Selection result;  // read whole at select time, never changed after
    size_t next = 0;
    ORBOM_OBJECT current = 0;
    ORBOM_CONNECTION connection = 0;
};

struct CurrentObject : Handled {
    static constexpr Kind kKind = Kind::Object;
    CurrentObject() : Handled(kKind) {}
    std::shared_ptr<SelectionCursor> selection;
    size_t row = 0;
};

}  // namespace orbom
