// The shape COrbObjectCriteria and COrbObjectPropertyList share: a client
// list handle allocated for a fixed number of entries. The capacity is the
// library's own bound: an add beyond it fails here and never reaches the
// client, so a caller's miscount shows up as a code, not a longer list.
#pragma once

#include <cstdint>

#include "framework/nwomapi/nwomapi.h"
#include "kestorb/OrbBase.h"

// The client calls and trace texts that tell the two lists apart.
struct OrbHandleListKind {
    ORBOM_RC (*allocate)(ORBOM_HANDLE*, uint32_t);
    ORBOM_RC (*release)(ORBOM_HANDLE*);
    const char* notAllocated;  // "... object not allocated"
    const char* allocateFailed;
    const char* freeFailed;
};

class COrbHandleList : public COrbBase {
public:
    ~COrbHandleList() override;

    // A list for n entries; a list held before is freed first.
    int32_t Allocate(uint32_t n);
    // 0 also when nothing was allocated.
    int32_t Free();
    // The list, or none when not allocated.
    ORBOM_HANDLE Handle() const { return handle_; }
    bool IsAllocated() const { return handle_ != 0; }
    uint32_t Capacity() const { return capacity_; }
    uint32_t Count() const { return count_; }

protected:
    explicit COrbHandleList(const OrbHandleListKind& kind) : kind_(kind) {}
    // Traces and sets last error 8 when not allocated.
    bool CheckAllocated();

    const OrbHandleListKind& kind_;
    ORBOM_HANDLE handle_ = 0;
    uint32_t capacity_ = 0;
    uint32_t count_ = 0;
};
