// How the server-state file's objects become the library's fixed-size
// records: one field table per object type, naming each field as the file
// spells it and where and how the record holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <stdexcept>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace ebqry {

// A fault in the state file; the text names the field.
class StateError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum class FieldKind { Int32, Int16, Text, DosTime };

struct FieldLayout {
    const char* key;  // as written in the state file
    size_t offset;
    FieldKind kind;
    size_t size;      // bytes of the field (texts: including the terminator)
};

struct RecordLayout {
    int32_t type;
    const char* section;  // the state file's array of these objects
    std::span<const FieldLayout> fields;
};

// The layout of jobs, media, tape drives and history; null for other types.
const RecordLayout* FindRecordLayout(int32_t type);

// Fills `record` (VlvRecordSize(layout.type) bytes, zeroed by the caller) from
// one object of the file. Unknown keys, wrong types, numbers out of range and
// texts too long for their field throw StateError. `now` anchors relative times.
void EncodeRecord(const RecordLayout& layout, const nlohmann::json& object, uint8_t* record,
                  time_t now);

// A time as the file writes it -- "YYYY-MM-DD HH:MM:SS" (or with a "T"),
// "now", "now-<n>s|m|h|d" -- as an MS-DOS date-and-time value in local time.
// false when the text is none of these or lies outside 1980-2107.
bool ParseDosTime(const std::string& text, time_t now, uint32_t* out);

}  // namespace ebqry
