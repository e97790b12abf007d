// A typed property value as the repository keeps it, and its passage to and
// from SQLite columns. Each value type has one column representation, so a
// value read back has the type it was declared with.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>

#include "framework/nwomapi/nwomapi.h"

namespace orbom {

bool IsKnownType(uint32_t type);
// The class-definition file's name for a type ("string", "uuid", ...).
const char* TypeName(uint32_t type);
// The type of a class-definition type name; false when there is none.
bool TypeFromName(const std::string& name, uint32_t* type);
// SQLite column declaration of a type.
const char* ColumnDeclaration(uint32_t type);

struct Value {
    uint32_t type = ORBOM_TYPE_STRING;
    bool null = true;
    // The value's bytes in the client's layout: int32 for integer and boolean,
    // double, 16 UUID bytes, one char, text or binary. std::string keeps a
    // zero after the bytes, which is what callers of GetProperty rely on.
    std::string bytes;
};

// Checks and converts a caller's (type, length, data) into a Value; text is
// cut at its first zero. Answers 33 for an unknown type, 41 for a fixed-size
// value of another length, 11 for a missing value.
ORBOM_RC MakeValue(uint32_t type, uint32_t length, const void* data, bool isNull, Value* out);
Value NullValue(uint32_t type);


void BindValue(sqlite3_stmt* stmt, int index, const Value& value);

// Where a value read from a column went: offset and length in a byte buffer.
struct Cell {
    uint32_t offset = 0;
    uint32_t length = 0;
    bool null = true;
};
// Appends a column's value in the client's layout, and a zero byte, to bytes,
// at an offset that is a multiple of 8.
Cell AppendColumn(sqlite3_stmt* stmt, int column, uint32_t type, std::string* bytes);
// The length GetProperty reports for a cell of that type.
uint32_t ReportedLength(const Cell& cell, uint32_t type);

}  // namespace orbom
