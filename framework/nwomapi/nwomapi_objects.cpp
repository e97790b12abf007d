// Exported functions: criteria and property lists, selections and objects.
#include "framework/nwomapi/api.h"
#include "framework/nwomapi/client.h"
#include "framework/nwomapi/names.h"

using namespace orbom;

namespace {

HandleTable& Table() { return HandleTable::Instance(); }

template <class List>
ORBOM_RC Allocate(ORBOM_HANDLE* out, uint32_t count) {
    if (!out) return ORBOM_RC_INVALID_POINTER_PARAMETER;
    *out = 0;
    auto list = std::make_shared<List>();
    list->entries.reserve(std::min<uint32_t>(count, 256));
    *out = Table().Add(list);
    return *out ? ORBOM_RC_SUCCESS : ORBOM_RC_OUT_OF_MEMORY;
}

template <class List>
ORBOM_RC AddEntry(ORBOM_HANDLE handle, const char* name, uint32_t type, uint32_t length,
                  const void* value, bool isNull) {
    auto list = Table().Get<List>(handle);
    if (!list) return ORBOM_RC_INVALID_OBJECT;
    if (!name) return ORBOM_RC_INVALID_POINTER_PARAMETER;
    if (!IsValidIdentifier(name)) return ORBOM_RC_INVALID_PROPERTY;
    NamedValue entry{name, {}};
    const ORBOM_RC rc = MakeValue(type, length, value, isNull, &entry.value);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    std::lock_guard<std::mutex> lock(list->mutex);
    list->entries.push_back(std::move(entry));
    return ORBOM_RC_SUCCESS;
}

template <class List>
ORBOM_RC Free(ORBOM_HANDLE* handle) {
    if (!handle) return ORBOM_RC_INVALID_POINTER_PARAMETER;
    if (!Table().Remove<List>(*handle)) return ORBOM_RC_INVALID_OBJECT;
    *handle = 0;
    return ORBOM_RC_SUCCESS;
}

// A copy of a list's entries; handle 0 is the empty list. false for a
// handle that names no list of that kind.
template <class List>
bool Entries(ORBOM_HANDLE handle, std::vector<NamedValue>* out) {
    if (handle == 0) return true;
    auto list = Table().Get<List>(handle);
    if (!list) return false;
    std::lock_guard<std::mutex> lock(list->mutex);
    *out = list->entries;
    return true;
}

// Runs body on a list's entries without copying them; handle 0 is the empty
// list. Lists are locked before connections, never after.
template <class List, class F>
ORBOM_RC WithEntries(ORBOM_HANDLE handle, F&& body) {
    static const std::vector<NamedValue> kNone;
    if (handle == 0) return body(kNone);
    auto list = Table().Get<List>(handle);
    if (!list) return ORBOM_RC_INVALID_OBJECT;
    std::lock_guard<std::mutex> lock(list->mutex);
    return body(list->entries);
}

template <class F>
ORBOM_RC WithStore(ORBOM_CONNECTION handle, F&& body) {
    auto connection = Table().Get<Connection>(handle);
    if (!connection) return ORBOM_RC_INVALID_REPOSITORY_CONTEXT;
    std::lock_guard<std::mutex> lock(connection->mutex);
    return body(*connection, *connection->store);
}

}  // namespace

extern "C" {

ORBOM_RC ORBOM_Criteria_Allocate(ORBOM_CRITERIA* criteria, uint32_t count) {
    return Guarded([&] { return Allocate<CriteriaList>(criteria, count); });
}

ORBOM_RC ORBOM_Criteria_Add(ORBOM_CRITERIA criteria, const char* property, uint32_t type,
                            uint32_t length, const void* value, uint32_t op, uint32_t connector) {
    return Guarded([&] {
        if (op != ORBOM_OP_EQUAL || connector != ORBOM_CONNECT_AND) return ORBOM_RC_INVALID_OPERATOR;
        const bool isNull = value == nullptr && length == 0;
        return AddEntry<CriteriaList>(criteria, property, type, length, value, isNull);
    });
}

ORBOM_RC ORBOM_Criteria_Clear(ORBOM_CRITERIA criteria) {
    return Guarded([&] {
        auto list = Table().Get<CriteriaList>(criteria);
        if (!list) return ORBOM_RC_INVALID_OBJECT;
        std::lock_guard<std::mutex> lock(list->mutex);
        list->entries.clear();
        return ORBOM_RC_SUCCESS;
    });
}

ORBOM_RC ORBOM_Criteria_Free(ORBOM_CRITERIA* criteria) {
    return Guarded([&] { return Free<CriteriaList>(criteria); });
}

ORBOM_RC ORBOM_PropertyList_Allocate(ORBOM_PROPLIST* list, uint32_t count) {
    return Guarded([&] { return Allocate<PropertyList>(list, count); });
}

ORBOM_RC ORBOM_PropertyList_Add(ORBOM_PROPLIST list, const char* name, uint32_t type,
                                uint32_t length, const void* value, uint32_t isNull) {
    return Guarded(
        [&] { return AddEntry<PropertyList>(list, name, type, length, value, isNull != 0); });
}

ORBOM_RC ORBOM_PropertyList_Free(ORBOM_PROPLIST* list) {
    return Guarded([&] { return Free<PropertyList>(list); });
}

ORBOM_RC ORBOM_ObjectList_Select(ORBOM_CONNECTION connection, const char* cls,
                                 ORBOM_CRITERIA criteria, const char* properties, uint32_t,
                                 ORBOM_SELECTION* selection, uint32_t* objectCount,
                                 uint32_t* classCount, uint32_t* propertyCount) {
    return Guarded([&] {
        if (!selection) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        *selection = 0;
        ORBOM_RC rc = CheckClassName(cls);
        if (rc != ORBOM_RC_SUCCESS) return rc;
        auto cursor = std::make_shared<SelectionCursor>();
        cursor->connection = connection;
        rc = WithEntries<CriteriaList>(criteria, [&](const std::vector<NamedValue>& where) {
            return WithStore(connection, [&](Connection& c, Store& store) {
                ORBOM_RC r = store.Select(cls, where, properties ? properties : "*", &cursor->result);
                if (r != ORBOM_RC_SUCCESS) return r;
                *selection = Table().Add(cursor);
                if (!*selection) return ORBOM_RC_OUT_OF_MEMORY;
                std::lock_guard<std::mutex> lock(c.selectionsMutex);
                c.selections.insert(*selection);
                return ORBOM_RC_SUCCESS;
            });
        });
        if (rc != ORBOM_RC_SUCCESS) return rc;
        if (objectCount) *objectCount = static_cast<uint32_t>(cursor->result.count);
        if (classCount) *classCount = 1;
        if (propertyCount) *propertyCount = static_cast<uint32_t>(cursor->result.columns->names.size());
        return ORBOM_RC_SUCCESS;
    });
}

ORBOM_RC ORBOM_ObjectList_GetNext(ORBOM_SELECTION selection, ORBOM_OBJECT* object,
                                  uint32_t* remaining) {
    return Guarded([&] {
        auto cursor = Table().Get<SelectionCursor>(selection);
        if (!cursor) return ORBOM_RC_NO_SELECT;
        if (!object) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        *object = 0;
        std::lock_guard<std::mutex> lock(cursor->mutex);
        Table().Remove<CurrentObject>(cursor->current);
        cursor->current = 0;
        const size_t total = cursor->result.count;
        if (cursor->next >= total) return ORBOM_RC_END_OF_DATA;
        auto current = std::make_shared<CurrentObject>();
        current->selection = cursor;
        current->row = cursor->next;
        cursor->current = Table().Add(current);
        if (!cursor->current) return ORBOM_RC_OUT_OF_MEMORY;
        ++cursor->next;
        *object = cursor->current;
        const auto left = static_cast<uint32_t>(total - cursor->next);
        if (remaining) *remaining = left;
        return left ? ORBOM_RC_MORE_DATA : ORBOM_RC_SUCCESS;
    });
}

ORBOM_RC ORBOM_ObjectList_EndSelect(ORBOM_SELECTION* selection) {
    return Guarded([&] {
        if (!selection) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        auto cursor = Table().Remove<SelectionCursor>(*selection);
        if (!cursor) return ORBOM_RC_NO_SELECT;
        {
            std::lock_guard<std::mutex> lock(cursor->mutex);
            Table().Remove<CurrentObject>(cursor->current);
            cursor->current = 0;
        }
        if (auto connection = Table().Get<Connection>(cursor->connection)) {
            std::lock_guard<std::mutex> lock(connection->selectionsMutex);
            connection->selections.erase(*selection);
        }
        *selection = 0;
        return ORBOM_RC_SUCCESS;
    });
}

ORBOM_RC ORBOM_Object_GetProperty(ORBOM_OBJECT object, const char* name, uint32_t* type,
                                  uint32_t* length, const void** value, uint8_t* isNull) {
    return Guarded([&] {
        auto current = Table().Get<CurrentObject>(object);
        if (!current) return ORBOM_RC_INVALID_OBJECT;
        if (!name) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        const Selection& result = current->selection->result;
        const Columns& columns = *result.columns;
        for (size_t i = 0; i < columns.names.size(); ++i) {
            if (columns.names[i] != name) continue;
            const Cell& cell = result.At(current->row, i);
            if (type) *type = columns.types[i];
            if (length) *length = ReportedLength(cell, columns.types[i]);
            if (value) *value = cell.null ? nullptr : result.bytes.data() + cell.offset;
            if (isNull) *isNull = cell.null ? 1 : 0;
            return ORBOM_RC_SUCCESS;
        }
        return ORBOM_RC_INVALID_PROPERTY;
    });
}

ORBOM_RC ORBOM_Object_Create(ORBOM_CONNECTION connection, const char* cls,
                             ORBOM_PROPLIST properties) {
    return Guarded([&] {
        ORBOM_RC rc = CheckClassName(cls);
        if (rc != ORBOM_RC_SUCCESS) return rc;
        std::vector<NamedValue> values;
        if (!Entries<PropertyList>(properties, &values)) return ORBOM_RC_INVALID_OBJECT;
        return WithStore(connection,
                         [&](Connection&, Store& store) { return store.CreateObject(cls, values); });
    });
}

ORBOM_RC ORBOM_Object_Update(ORBOM_CONNECTION connection, const char* cls, ORBOM_CRITERIA criteria,
                             ORBOM_PROPLIST properties, uint32_t* count) {
    return Guarded([&] {
        if (!count) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        *count = 0;
        ORBOM_RC rc = CheckClassName(cls);
        if (rc != ORBOM_RC_SUCCESS) return rc;
        std::vector<NamedValue> where, values;
        if (!Entries<CriteriaList>(criteria, &where) ||
            !Entries<PropertyList>(properties, &values)) {
            return ORBOM_RC_INVALID_OBJECT;
        }
        return WithStore(connection, [&](Connection&, Store& store) {
            return store.Update(cls, where, values, count);
        });
    });
}

ORBOM_RC ORBOM_Object_Delete(ORBOM_CONNECTION connection, const char* cls, ORBOM_CRITERIA criteria,
                             uint32_t* count) {
    return Guarded([&] {
        if (!count) return ORBOM_RC_INVALID_POINTER_PARAMETER;
        *count = 0;
        ORBOM_RC rc = CheckClassName(cls);
        if (rc != ORBOM_RC_SUCCESS) return rc;
        std::vector<NamedValue> where;
        if (!Entries<CriteriaList>(criteria, &where)) return ORBOM_RC_INVALID_OBJECT;
        return WithStore(connection,
                         [&](Connection&, Store& store) { return store.Delete(cls, where, count); });
    });
}

}  // extern "C"
