// A typed property value as the repository keeps it, and the rows a
// statement read, packed as the client hands them out. Each value type has
// one column representation in every backend, so a value read back has the
// type it was declared with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "framework/nwomapi/nwomapi.h"

namespace orbom {

bool IsKnownType(uint32_t type);
// The class-definition file's name for a type ("string", "uuid", ...).
const char* TypeName(uint32_t type);
// The type of a class-definition type name; false when there is none.
bool TypeFromName(const std::string& name, uint32_t* type);

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
Value TextValue(const std::string& text);
Value IntegerValue(int32_t number);

// Where a value read from a column went: offset and length in a byte buffer.
struct Cell {
    uint32_t offset = 0;
    uint32_t length = 0;
    bool null = true;
};
// The length GetProperty reports for a cell of that type.
uint32_t ReportedLength(const Cell& cell, uint32_t type);

// The rows a statement read, packed: one cell per row and column, each
// pointing into one byte buffer that is never changed after the read, so
// addresses handed to callers stay valid for the selection's life.
struct Columns {
    std::vector<std::string> names;  // the selected properties
    std::vector<uint32_t> types;     // their types
};

struct Selection {
    std::shared_ptr<const Columns> columns;  // shared with the statement's plan
    size_t count = 0;                        // rows (objects)
    std::vector<Cell> cells;                 // count * columns, row by row
    std::string bytes;                       // each value followed by a zero byte

    const Cell& At(size_t row, size_t column) const {
        return cells[row * columns->names.size() + column];
    }
    // A cell's bytes (empty for null), and an integer cell's value.
    std::string Bytes(size_t row, size_t column) const;
    int32_t Integer(size_t row, size_t column) const;

    // Appends one value, in the client's layout and followed by a zero byte,
    // at an offset that is a multiple of 8 (so callers may read an integer
    // or a double in place); null when data is null.
    void Append(const void* data, size_t length);
    // Cells address the buffer with 32-bit offsets; false once it is too
    // large for them.
    bool Fits() const;
};

}  // namespace orbom
