#include "framework/nwomapi/value.h"

#include <cstring>

namespace orbom {

namespace {

struct TypeInfo {
    uint32_t type;
    const char* name;
    uint32_t fixedLength;  // 0: variable
};

constexpr TypeInfo kTypes[] = {
    {ORBOM_TYPE_STRING, "string", 0},   {ORBOM_TYPE_INTEGER, "integer", 4},
    {ORBOM_TYPE_DOUBLE, "double", 8},   {ORBOM_TYPE_UUID, "uuid", 16},
    {ORBOM_TYPE_BOOLEAN, "boolean", 4}, {ORBOM_TYPE_DATETIME, "datetime", 0},
    {ORBOM_TYPE_CHAR, "char", 1},       {ORBOM_TYPE_BINARY, "binary", 0},
};

// Selections address their bytes with 32-bit offsets.
constexpr size_t kMaxSelectionBytes = 0xF0000000u;

const TypeInfo* Find(uint32_t type) {
    for (const TypeInfo& info : kTypes) {
        if (info.type == type) return &info;
    }
    return nullptr;
}

bool IsText(uint32_t type) { return type == ORBOM_TYPE_STRING || type == ORBOM_TYPE_DATETIME; }

int32_t ReadInt32(const std::string& bytes) {
    int32_t v = 0;
    std::memcpy(&v, bytes.data(), sizeof v);
    return v;
}

}  // namespace

bool IsKnownType(uint32_t type) { return Find(type) != nullptr; }

const char* TypeName(uint32_t type) {
    const TypeInfo* info = Find(type);
    return info ? info->name : "unknown";
}

bool TypeFromName(const std::string& name, uint32_t* type) {
    for (const TypeInfo& info : kTypes) {
        if (name == info.name) {
            *type = info.type;
            return true;
        }
    }
    return false;
}

Value NullValue(uint32_t type) {
    Value v;
    v.type = type;
    return v;
}

ORBOM_RC MakeValue(uint32_t type, uint32_t length, const void* data, bool isNull, Value* out) {
    const TypeInfo* info = Find(type);
    if (!info) return ORBOM_RC_INVALID_DATATYPE;
    if (isNull) {
        *out = NullValue(type);
        return ORBOM_RC_SUCCESS;
    }
    if (!data && length > 0) return ORBOM_RC_INVALID_POINTER_PARAMETER;
    if (info->fixedLength && length != info->fixedLength) {
        return data ? ORBOM_RC_LENGTH_MISMATCH : ORBOM_RC_INVALID_POINTER_PARAMETER;
    }
    out->type = type;
    out->null = false;
    const char* bytes = static_cast<const char*>(data);
    if (IsText(type)) {
        out->bytes.assign(bytes ? bytes : "", bytes ? strnlen(bytes, length) : 0);
    } else {
        out->bytes.assign(bytes ? bytes : "", length);
    }
    if (type == ORBOM_TYPE_BOOLEAN) {
        const int32_t flag = ReadInt32(out->bytes) != 0 ? 1 : 0;
        std::memcpy(out->bytes.data(), &flag, sizeof flag);
    }
    return ORBOM_RC_SUCCESS;
}

// Date-time texts count their terminator, as readers of them expect.
uint32_t ReportedLength(const Cell& cell, uint32_t type) {
    if (cell.null) return 0;
    return type == ORBOM_TYPE_DATETIME ? cell.length + 1 : cell.length;
}

Value TextValue(const std::string& text) {
    Value v;
    v.type = ORBOM_TYPE_STRING;
    v.null = false;
    v.bytes = text;
    return v;
}

Value IntegerValue(int32_t number) {
    Value v;
    v.type = ORBOM_TYPE_INTEGER;
    v.null = false;
    v.bytes.assign(reinterpret_cast<const char*>(&number), sizeof number);
    return v;
}

std::string Selection::Bytes(size_t row, size_t column) const {
    const Cell& cell = At(row, column);
    return cell.null ? std::string() : bytes.substr(cell.offset, cell.length);
}

int32_t Selection::Integer(size_t row, size_t column) const {
    const Cell& cell = At(row, column);
    if (cell.null || cell.length < sizeof(int32_t)) return 0;
    return ReadInt32(bytes.substr(cell.offset, sizeof(int32_t)));
}

void Selection::Append(const void* data, size_t length) {
    bytes.resize((bytes.size() + 7) & ~size_t{7});
    Cell cell;
    cell.offset = static_cast<uint32_t>(bytes.size());
    if (data) {
        cell.null = false;
        bytes.append(static_cast<const char*>(data), length);
        cell.length = static_cast<uint32_t>(length);
        bytes.push_back('\0');
    }
    cells.push_back(cell);
}

bool Selection::Fits() const { return bytes.size() <= kMaxSelectionBytes; }

}  // namespace orbom
