// The few shapes every object-model and view operation repeats: a criteria
// list sized for exactly its fields, an object created with a fresh "uuid",
// and a selection whose first object's UUID property is the answer.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "framework/nwomapi/nwomapi.h"
#include "kestorb/KestContext.h"
#include "kestorb/OrbObjectCriteria.h"
#include "kestorb/OrbObjectList.h"

namespace kest {

// One property value for a criterion or a property list.
struct Field {
    const char* name;
    uint32_t type;
    uint32_t length;
    const void* value;
};

inline Field TextField(const char* name, const char* text) {
    return {name, ORBOM_TYPE_STRING, static_cast<uint32_t>(std::strlen(text)), text};
}
inline Field UuidField(const char* name, const UUID& uuid) {
    return {name, ORBOM_TYPE_UUID, sizeof(UUID), &uuid};
}
inline Field IntField(const char* name, const int32_t& value) {
    return {name, ORBOM_TYPE_INTEGER, sizeof value, &value};
}

// Allocates criteria for exactly these fields and adds them. Allocation
// failure traces allocFailed (with the code, when given) and returns it; failed adds
// return the sum of the add results, traced with addFailed when given.
int32_t BuildCriteria(KestContext& ctx, COrbObjectCriteria& criteria,
                      std::initializer_list<Field> fields, const char* allocFailed,
                      const char* addFailed = nullptr);

// Trace formats (each with one %d) of an object creation.
struct CreateTexts {
    const char* allocFailed;
    const char* uuidFailed;
    const char* createFailed;
};

// Creates an object of cls with a new "uuid" followed by the fields; the new
// UUID goes to out (optional) on success.
int32_t CreateWithNewUuid(KestContext& ctx, const char* cls, std::initializer_list<Field> fields,
                          const CreateTexts& texts, UUID* out);

// Trace texts of a first-object search; routine prefixes the common ones.
struct SelectTexts {
    const char* routine;      // "FindObject"
    const char* beforeSelect;  // optional, one %s: the class
    const char* afterSelect;   // optional, one %s: afterArg
    const char* none;          // no object selected
    const char* some;          // one %d: the count
    const char* got;           // optional %s: gotArg
};

// Selects cls with the criteria ("*"), sets *count, and reads property (a
// UUID) of the first object into out. None selected: 0 and out untouched. A
// null value: 3 and out zeroed.
int32_t SelectFirstUuid(KestContext& ctx, const SelectTexts& texts, const char* cls,
                        const COrbObjectCriteria* criteria, const char* property, int32_t* count,
                        UUID* out, const char* afterArg = "", const char* gotArg = "");

// A selection of cls (properties "*" or one name) made with the criteria
// (none: every object); none with *rc set when it cannot be made.
std::unique_ptr<COrbObjectList> OpenSelection(KestContext& ctx, const char* cls,
                                              const char* properties,
                                              const COrbObjectCriteria* criteria, int32_t* rc);

// Moves to the next object; false when none is left or the client failed.
bool NextObject(COrbObjectList& list);

// A string property into a bounded buffer; false when unreadable or null.
bool ReadText(COrbObjectList& list, const char* property, char* buffer, uint32_t size);
template <size_t N>
bool ReadText(COrbObjectList& list, const char* property, char (&buffer)[N]) {
    return ReadText(list, property, buffer, N);
}
// A UUID or integer property; false when unreadable or null.
bool ReadUuid(COrbObjectList& list, const char* property, UUID* out);
bool ReadInt(COrbObjectList& list, const char* property, int32_t* out);

// Runs body (answering a code) as one unit of work on the context's
// repository: committed when it answers 0, rolled back otherwise, so that
// what it creates or deletes happens together or not at all and no other
// program's find-then-create runs in between. A unit that cannot begin or
// commit answers the client's code, traced with the routine's name.
template <class F>
int32_t AsOneUnit(KestContext& ctx, const char* routine, F&& body) {
    int32_t rc = ctx.repository->TransactionBegin();
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("%s() - Failed to begin transaction [%d]", routine, rc);
        return rc;
    }
    rc = body();
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.repository->TransactionRollback();
        return rc;
    }
    rc = ctx.repository->TransactionCommit();
    if (rc != ORBOM_RC_SUCCESS) ctx.Trace("%s() - Failed to commit transaction [%d]", routine, rc);
    return rc;
}

}  // namespace kest
