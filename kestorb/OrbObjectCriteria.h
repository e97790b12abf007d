// COrbObjectCriteria: a bounded list of equality criteria for selections,
// updates and deletions. Not allocated, it matches every object of a class.
#pragma once

#include "kestorb/OrbHandleList.h"

class COrbObjectCriteria : public COrbHandleList {
public:
    COrbObjectCriteria();
    // property = value; 8 when not allocated or full (nothing reaches the client).
    int32_t Add(const char* property, uint32_t type, uint32_t length, const void* value,
                uint32_t op = ORBOM_OP_EQUAL, uint32_t connector = ORBOM_CONNECT_AND);
    // Empties the list and its capacity: adds fail until the next Allocate.
    int32_t Clear();
};
