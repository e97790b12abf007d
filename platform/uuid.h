// Repository object identifiers: the 16-byte UUID with the Windows field
// layout (32-bit, 16-bit, 16-bit, 8 bytes), created with libuuid.
#pragma once

#include <string>

#include "platform/win32.h"

struct UUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
static_assert(sizeof(UUID) == 16, "UUID is 16 bytes");
typedef UUID GUID;
typedef LONG RPC_STATUS;
#define RPC_S_OK 0

RPC_STATUS UuidCreate(UUID* out);

namespace orb {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
std::string UuidToString(const UUID& id);
// Accepts the form above with or without braces, any letter case.
bool UuidFromString(const std::string& text, UUID* out);
bool UuidIsNil(const UUID& id);

}  // namespace orb
