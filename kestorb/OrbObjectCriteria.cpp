// Criteria list operations.
#include "kestorb/OrbObjectCriteria.h"

namespace {

ORBOM_RC AllocateCriteria(ORBOM_HANDLE* handle, uint32_t n) {
    return ORBOM_Criteria_Allocate(handle, n);
}
ORBOM_RC FreeCriteria(ORBOM_HANDLE* handle) { return ORBOM_Criteria_Free(handle); }

const OrbHandleListKind kCriteria = {
    AllocateCriteria,
    FreeCriteria,
    "COrbObjectCriteria object not allocated",
    "COrbObjectCriteria::Allocate() - Failed allocation [%d]",
    "COrbObjectCriteria::Free() - Failed to free criteria [%d]",
};

}  // namespace

COrbObjectCriteria::COrbObjectCriteria() : COrbHandleList(kCriteria) {}

int32_t COrbObjectCriteria::Add(const char* property, uint32_t type, uint32_t length,
                                const void* value, uint32_t op, uint32_t connector) {
    const char* name = property == nullptr ? "" : property;
    if (!CheckAllocated()) {
        Trace("COrbObjectCriteria::Add(%s...) - Failed, ORBOM_RC_INVALID_OBJECT", name);
        return Done(ORBOM_RC_INVALID_OBJECT);
    }
    if (count_ >= capacity_) {
        Trace("COrbObjectCriteria::Add(%s...) - Failed, more criteria added than allocated for",
              name);
        return Done(ORBOM_RC_INVALID_OBJECT);
    }
    code_ = ORBOM_Criteria_Add(handle_, property, type, length, value, op, connector);
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbObjectCriteria::Add(%s...) - Failed to add criteria [%d]", name, code_);
        return Done(code_);
    }
    Trace("COrbObjectCriteria::Add(%s...) - ORBOM_RC_SUCCESS", name);
    ++count_;
    return Done(code_);
}

int32_t COrbObjectCriteria::Clear() {
    if (!CheckAllocated()) return Done(ORBOM_RC_INVALID_OBJECT);
    code_ = ORBOM_Criteria_Clear(handle_);
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbObjectCriteria::Clear() - Failed to clear criteria [%d]", code_);
    }
    capacity_ = 0;
    count_ = 0;
    return Done(code_);
}
