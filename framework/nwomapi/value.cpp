#include "framework/nwomapi/value.h"

#include <cstring>

namespace orbom {

namespace {

struct TypeInfo {
    uint32_t type;
    const char* name;
    const char* column;
    uint32_t fixedLength;  // 0: variable
};

// Characters are kept as integers: a byte may be zero or not valid text.
constexpr TypeInfo kTypes[] = {
    {ORBOM_TYPE_STRING, "string", "TEXT", 0},     {ORBOM_TYPE_INTEGER, "integer", "INTEGER", 4},
    {ORBOM_TYPE_DOUBLE, "double", "REAL", 8},     {ORBOM_TYPE_UUID, "uuid", "BLOB", 16},
    {ORBOM_TYPE_BOOLEAN, "boolean", "INTEGER", 4}, {ORBOM_TYPE_DATETIME, "datetime", "TEXT", 0},
    {ORBOM_TYPE_CHAR, "char", "INTEGER", 1},      {ORBOM_TYPE_BINARY, "binary", "BLOB", 0},
};

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

const char* ColumnDeclaration(uint32_t type) {
    const TypeInfo* info = Find(type);
    return info ? info->column : "BLOB";
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

void BindValue(sqlite3_stmt* stmt, int index, const Value& value) {
    if (value.null) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    const std::string& b = value.bytes;
    switch (value.type) {
        case ORBOM_TYPE_INTEGER:
        case ORBOM_TYPE_BOOLEAN:
            sqlite3_bind_int(stmt, index, ReadInt32(b));
            break;
        case ORBOM_TYPE_DOUBLE: {
            double d = 0;
            std::memcpy(&d, b.data(), sizeof d);
            sqlite3_bind_double(stmt, index, d);
            break;
        }
        case ORBOM_TYPE_CHAR:
            sqlite3_bind_int(stmt, index, static_cast<unsigned char>(b[0]));
            break;
        case ORBOM_TYPE_STRING:
        case ORBOM_TYPE_DATETIME:
            sqlite3_bind_text(stmt, index, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_bind_blob(stmt, index, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
    }
}

Cell AppendColumn(sqlite3_stmt* stmt, int column, uint32_t type, std::string* bytes) {
    // Values start on 8-byte boundaries, so callers may read an integer or a
    // double in place.
    bytes->resize((bytes->size() + 7) & ~size_t{7});
    Cell cell;
    cell.offset = static_cast<uint32_t>(bytes->size());
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL) return cell;
    cell.null = false;
    switch (type) {
        case ORBOM_TYPE_INTEGER:
        case ORBOM_TYPE_BOOLEAN: {
            const int32_t i = sqlite3_column_int(stmt, column);
            bytes->append(reinterpret_cast<const char*>(&i), sizeof i);
            break;
        }
        case ORBOM_TYPE_DOUBLE: {
            const double d = sqlite3_column_double(stmt, column);
            bytes->append(reinterpret_cast<const char*>(&d), sizeof d);
            break;
        }
        case ORBOM_TYPE_CHAR:
            bytes->push_back(static_cast<char>(sqlite3_column_int(stmt, column)));
            break;
        case ORBOM_TYPE_STRING:
        case ORBOM_TYPE_DATETIME: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            if (text) bytes->append(text, sqlite3_column_bytes(stmt, column));
            break;
        }
        default: {
            const void* blob = sqlite3_column_blob(stmt, column);
            if (blob) bytes->append(static_cast<const char*>(blob), sqlite3_column_bytes(stmt, column));
            break;
        }
    }
    cell.length = static_cast<uint32_t>(bytes->size()) - cell.offset;
    bytes->push_back('\0');
    return cell;
}

}  // namespace orbom
