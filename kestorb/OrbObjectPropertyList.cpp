// Property list operations.
#include "kestorb/OrbObjectPropertyList.h"

namespace {

ORBOM_RC AllocateProperties(ORBOM_HANDLE* handle, uint32_t n) {
    return ORBOM_PropertyList_Allocate(handle, n);
}
ORBOM_RC FreeProperties(ORBOM_HANDLE* handle) { return ORBOM_PropertyList_Free(handle); }

const OrbHandleListKind kPropertyList = {
    AllocateProperties,
    FreeProperties,
    "COrbObjectPropertyList object not allocated",
    "COrbObjectPropertyList::Allocate() - Failed allocation [%d]",
    "COrbObjectPropertyList::Free() - Failed to free property list [%d]",
};

}  // namespace

COrbObjectPropertyList::COrbObjectPropertyList() : COrbHandleList(kPropertyList) {}

int32_t COrbObjectPropertyList::Add(const char* property, uint32_t type, uint32_t length,
                                    const void* value, uint32_t isNull) {
    if (!CheckAllocated()) return Done(ORBOM_RC_INVALID_OBJECT);
    if (count_ >= capacity_) {
        Trace("COrbObjectPropertyList::Add() - Failed, more properties added than allocated for");
        return Done(ORBOM_RC_INVALID_OBJECT);
    }
    code_ = ORBOM_PropertyList_Add(handle_, property, type, length, value, isNull);
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbObjectPropertyList::Add() - Failed to add property [%d]", code_);
        return Done(code_);
    }
    ++count_;
    return Done(code_);
}
