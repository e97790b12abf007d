// Property values as operators type and read them. orbcli takes values as
// text on its command line and converts them to the class's declared type;
// it prints them back in the class-definition file's object syntax, or as
// JSON. Kept apart from the repository client so the conversions can be
// tested on their own.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace orbcli {

// Repository value types (their numeric codes are the repository's).
enum ValueType : int {
    kString = 0,
    kInteger = 1,
    kDouble = 9,
    kUuid = 10,
    kBoolean = 11,
    kDateTime = 12,
    kChar = 14,
    kBinary = 16,
};

// The type's name in class-definition files ("string", "integer", ...);
// "type N" for a code this tool does not know.
std::string TypeName(int type);

// A value as the repository client takes and hands it: the type code and
// the bytes (integers and booleans 4 bytes, doubles 8, UUIDs 16 in the
// repository's field layout, texts without terminator).
struct Value {
    int type = kString;
    std::vector<uint8_t> bytes;
    bool null = false;
};

// Converts operator text to a value of the given type. On failure returns
// nothing and sets *error to a message naming what was wrong.
std::optional<Value> ParseValue(int type, const std::string& text, std::string* error);

// The value in the object syntax of class-definition files: strings quoted,
// UUIDs in the registry form, binary as hex, null as "null".
std::string FormatValue(const Value& value);

// The value as JSON: integers and doubles as numbers, booleans as true or
// false, UUIDs in the registry form, binary as a hex string, null as null.
nlohmann::ordered_json ValueToJson(const Value& value);

// Splits "PROP=VALUE" at the first '='. False when there is no '=' or the
// property name is empty.
bool SplitAssignment(const std::string& arg, std::string* prop, std::string* text);

}  // namespace orbcli
