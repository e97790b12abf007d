// COrbObjectPropertyList: a bounded list of property values for one create
// or update.
#pragma once

#include "kestorb/OrbHandleList.h"

class COrbObjectPropertyList : public COrbHandleList {
public:
    COrbObjectPropertyList();
    // 8 when not allocated or full (nothing reaches the client).
    int32_t Add(const char* property, uint32_t type, uint32_t length, const void* value,
                uint32_t isNull = 0);
};
