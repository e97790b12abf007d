// UUIDs in the Windows layout. libuuid works on the 16 bytes in RFC 4122
// (big-endian) order; Windows keeps Data1..Data3 as integers in host order,
// and its text form prints them as numbers, so both forms read the same.
#include "platform/uuid.h"

#include <uuid/uuid.h>

#include <cstring>

namespace {

void ToFields(const uuid_t bytes, UUID* out) {
    out->Data1 = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) |
                 (uint32_t{bytes[2]} << 8) | uint32_t{bytes[3]};
    out->Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    out->Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    memcpy(out->Data4, bytes + 8, 8);
}

void ToBytes(const UUID& id, uuid_t bytes) {
    bytes[0] = static_cast<unsigned char>(id.Data1 >> 24);
    bytes[1] = static_cast<unsigned char>(id.Data1 >> 16);
    bytes[2] = static_cast<unsigned char>(id.Data1 >> 8);
    bytes[3] = static_cast<unsigned char>(id.Data1);
    bytes[4] = static_cast<unsigned char>(id.Data2 >> 8);
    bytes[5] = static_cast<unsigned char>(id.Data2);
    bytes[6] = static_cast<unsigned char>(id.Data3 >> 8);
    bytes[7] = static_cast<unsigned char>(id.Data3);
    memcpy(bytes + 8, id.Data4, 8);
}

}  // namespace

RPC_STATUS UuidCreate(UUID* out) {
    if (!out) return ERROR_INVALID_PARAMETER;  // RPC_S_INVALID_ARG has the same value
    uuid_t bytes;
    uuid_generate_random(bytes);
    ToFields(bytes, out);
    return RPC_S_OK;
}

namespace orb {

std::string UuidToString(const UUID& id) {
    uuid_t bytes;
    ToBytes(id, bytes);
    char text[37];
    uuid_unparse_upper(bytes, text);
    return "{" + std::string(text) + "}";
}

bool UuidFromString(const std::string& text, UUID* out) {
    std::string inner = text;
    if (inner.size() == 38 && inner.front() == '{' && inner.back() == '}') {
        inner = inner.substr(1, 36);
    }
    uuid_t bytes;
    // uuid_parse checks the dashes and hex digits of exactly 36 characters.
    if (inner.size() != 36 || !out || uuid_parse(inner.c_str(), bytes) != 0) return false;
    ToFields(bytes, out);
    return true;
}

bool UuidIsNil(const UUID& id) {
    static const UUID nil{};
    return memcmp(&id, &nil, sizeof(UUID)) == 0;
}

}  // namespace orb
