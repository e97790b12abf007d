// The class-definition file: a line-oriented text of "class NAME" blocks
// (property name and value type per line) and "object CLASS" blocks (property
// name and value per line), each closed by "end"; '#' starts a comment.
// Parsing checks the form only; values are converted once the classes they
// belong to are known (ConvertValue), so an object may use a class that the
// repository already holds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/nwomapi/catalog.h"
#include "framework/nwomapi/value.h"

namespace orbom {

struct Token {
    std::string text;
    bool quoted = false;
};

struct PropertyLine {
    PropertyDef property;
    int line = 0;
};

struct ClassBlock {
    std::string name;
    int line = 0;
    std::vector<PropertyLine> properties;
};

struct ValueLine {
    std::string name;
    Token value;
    int line = 0;
};

struct ObjectBlock {
    std::string cls;
    int line = 0;
    std::vector<ValueLine> values;
};

struct ClassFile {
    std::vector<ClassBlock> classes;
    std::vector<ObjectBlock> objects;
};

struct ParseError {
    int line = 0;
    std::string message;
};

bool ParseClassFile(std::string_view text, ClassFile* out, ParseError* error);

// Converts an object value to the property's type; false with a message
// ("integer expected", ...) when the text does not fit.
bool ConvertValue(const Token& token, uint32_t type, Value* out, std::string* message);

}  // namespace orbom
