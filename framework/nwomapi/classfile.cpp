#include "framework/nwomapi/classfile.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "framework/nwomapi/names.h"
#include "platform/uuid.h"

namespace orbom {

namespace {

// Splits one line into words and quoted strings; '#' outside quotes ends it.
bool Tokenize(std::string_view line, std::vector<Token>* tokens, std::string* message) {
    size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
        } else if (c == '#') {
            break;
        } else if (c == '"') {
            Token t;
            t.quoted = true;
            for (++i;; ++i) {
                if (i >= line.size()) {
                    *message = "unterminated string";
                    return false;
                }
                if (line[i] == '"') break;
                if (line[i] == '\\') {
                    if (i + 1 >= line.size() || (line[i + 1] != '"' && line[i + 1] != '\\')) {
                        *message = "unknown escape in string (only \\\" and \\\\)";
                        return false;
                    }
                    ++i;
                }
                t.text += line[i];
            }
            ++i;
            tokens->push_back(std::move(t));
        } else {
            Token t;
            while (i < line.size() && !std::strchr(" \t\r#\"", line[i])) t.text += line[i++];
            tokens->push_back(std::move(t));
        }
    }
    return true;
}

class Parser {
public:
    Parser(ClassFile* out, ParseError* error) : out_(out), error_(error) {}

    bool Line(int number, const std::vector<Token>& tokens) {
        line_ = number;
        if (tokens.empty()) return true;
        if (!inClass_ && !inObject_) return Opening(tokens);
        if (tokens.size() == 1 && !tokens[0].quoted && tokens[0].text == "end") {
            inClass_ = inObject_ = false;
            return true;
        }
        if (tokens.size() != 2) return Fail("expected a property name and a value, or \"end\"");
        return inClass_ ? Declaration(tokens) : Assignment(tokens);
    }

    bool Finish() {
        if (!inClass_ && !inObject_) return true;
        line_ = inClass_ ? out_->classes.back().line : out_->objects.back().line;
        return Fail("block has no \"end\"");
    }

private:
    bool Opening(const std::vector<Token>& tokens) {
        const bool isClass = !tokens[0].quoted && tokens[0].text == "class";
        const bool isObject = !tokens[0].quoted && tokens[0].text == "object";
        if (!isClass && !isObject) return Fail("expected \"class NAME\" or \"object CLASS\"");
        if (tokens.size() != 2 || tokens[1].quoted) {
            return Fail(std::string("expected one class name after \"") + tokens[0].text + "\"");
        }
        if (!IsValidIdentifier(tokens[1].text)) return BadName("class", tokens[1].text);
        if (isClass) {
            out_->classes.push_back({tokens[1].text, line_, {}});
            inClass_ = true;
        } else {
            out_->objects.push_back({tokens[1].text, line_, {}});
            inObject_ = true;
        }
        return true;
    }

    bool Declaration(const std::vector<Token>& tokens) {
        if (tokens[0].quoted || !IsValidIdentifier(tokens[0].text)) {
            return BadName("property", tokens[0].text);
        }
        PropertyDef p;
        p.name = tokens[0].text;
        if (tokens[1].quoted || !TypeFromName(tokens[1].text, &p.type)) {
            return Fail("unknown type \"" + tokens[1].text +
                        "\" (string integer double uuid boolean datetime char binary)");
        }
        ClassBlock& block = out_->classes.back();
        for (const PropertyLine& existing : block.properties) {
            if (SameIgnoringCase(existing.property.name, p.name)) {
                return Fail("property \"" + p.name + "\" declared twice");
            }
        }
        block.properties.push_back({p, line_});
        return true;
    }

    bool Assignment(const std::vector<Token>& tokens) {
        if (tokens[0].quoted || !IsValidIdentifier(tokens[0].text)) {
            return BadName("property", tokens[0].text);
        }
        ObjectBlock& block = out_->objects.back();
        for (const ValueLine& existing : block.values) {
            if (existing.name == tokens[0].text) {
                return Fail("property \"" + tokens[0].text + "\" given twice");
            }
        }
        block.values.push_back({tokens[0].text, tokens[1], line_});
        return true;
    }

    bool BadName(const char* what, const std::string& name) {
        return Fail(std::string("invalid ") + what + " name \"" + name +
                    "\" (letters, digits and _, at most 31 characters)");
    }

    bool Fail(const std::string& message) {
        error_->line = line_;
        error_->message = message;
        return false;
    }

    ClassFile* out_;
    ParseError* error_;
    int line_ = 0;
    bool inClass_ = false;
    bool inObject_ = false;
};

bool ParseInteger(const std::string& text, int32_t* out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex) {
        const unsigned long long v = std::strtoull(text.c_str() + 2, &end, 16);
        if (errno || *end || v > 0xFFFFFFFFull) return false;
        *out = static_cast<int32_t>(static_cast<uint32_t>(v));
        return true;
    }
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno || *end || v < INT32_MIN || v > INT32_MAX) return false;
    *out = static_cast<int32_t>(v);
    return true;
}

bool ParseHex(const std::string& text, std::string* out) {
    if (text.size() % 2) return false;
    for (size_t i = 0; i < text.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = text.substr(i, 2);
        const long v = std::strtol(pair.c_str(), &end, 16);
        if (*end || !std::isxdigit(static_cast<unsigned char>(pair[0]))) return false;
        out->push_back(static_cast<char>(v));
    }
    return true;
}

bool Fixed(Value* out, uint32_t type, const void* data, size_t size) {
    out->type = type;
    out->null = false;
    out->bytes.assign(static_cast<const char*>(data), size);
    return true;
}

}  // namespace

bool ParseClassFile(std::string_view text, ClassFile* out, ParseError* error) {
    Parser parser(out, error);
    int number = 0;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        ++number;
        std::vector<Token> tokens;
        std::string message;
        if (!Tokenize(text.substr(start, end - start), &tokens, &message)) {
            error->line = number;
            error->message = message;
            return false;
        }
        if (!parser.Line(number, tokens)) return false;
        start = end + 1;
    }
    return parser.Finish();
}

bool ConvertValue(const Token& token, uint32_t type, Value* out, std::string* message) {
    const std::string& t = token.text;
    const bool text = type == ORBOM_TYPE_STRING || type == ORBOM_TYPE_DATETIME ||
                      type == ORBOM_TYPE_CHAR;
    if (text != token.quoted) {
        *message = text ? "a quoted text is expected" : "an unquoted value is expected";
        return false;
    }
    switch (type) {
        case ORBOM_TYPE_STRING:
        case ORBOM_TYPE_DATETIME:
            return Fixed(out, type, t.data(), t.size());
        case ORBOM_TYPE_CHAR:
            if (t.size() == 1) return Fixed(out, type, t.data(), 1);
            *message = "one character is expected";
            return false;
        case ORBOM_TYPE_INTEGER: {
            int32_t v = 0;
            if (ParseInteger(t, &v)) return Fixed(out, type, &v, sizeof v);
            *message = "a 32-bit integer is expected";
            return false;
        }
        case ORBOM_TYPE_BOOLEAN: {
            const int32_t v = t == "true" ? 1 : 0;
            if (t == "true" || t == "false") return Fixed(out, type, &v, sizeof v);
            *message = "true or false is expected";
            return false;
        }
        case ORBOM_TYPE_DOUBLE: {
            char* end = nullptr;
            errno = 0;
            const double v = std::strtod(t.c_str(), &end);
            if (!t.empty() && !*end && !errno) return Fixed(out, type, &v, sizeof v);
            *message = "a number is expected";
            return false;
        }
        case ORBOM_TYPE_UUID: {
            UUID id{};
            if (t.size() == 38 && t.front() == '{' && orb::UuidFromString(t, &id)) {
                return Fixed(out, type, &id, sizeof id);
            }
            *message = "a UUID {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX} is expected";
            return false;
        }
        default: {
            std::string bytes;
            if (ParseHex(t, &bytes)) return Fixed(out, type, bytes.data(), bytes.size());
            *message = "hexadecimal digits in pairs are expected";
            return false;
        }
    }
}

}  // namespace orbom
