// Allocation and release of the client's lists.
#include "kestorb/OrbHandleList.h"

COrbHandleList::~COrbHandleList() {
    if (handle_ != 0) Free();
}

bool COrbHandleList::CheckAllocated() {
    if (handle_ != 0) return true;
    Trace("%s", kind_.notAllocated);
    Done(ORBOM_RC_INVALID_OBJECT);
    return false;
}

int32_t COrbHandleList::Allocate(uint32_t n) {
    // A second allocation would otherwise leave the first list with the client.
    if (handle_ != 0) Free();
    code_ = kind_.allocate(&handle_, n);
    if (code_ != ORBOM_RC_SUCCESS) {
        handle_ = 0;
        Trace(kind_.allocateFailed, code_);
        return Done(code_);
    }
    capacity_ = n;
    return Done(code_);
}

int32_t COrbHandleList::Free() {
    if (!CheckAllocated()) return Done(ORBOM_RC_SUCCESS);
    code_ = kind_.release(&handle_);
    if (code_ != ORBOM_RC_SUCCESS) Trace(kind_.freeFailed, code_);
    handle_ = 0;
    capacity_ = 0;
    count_ = 0;
    return Done(code_);
}
