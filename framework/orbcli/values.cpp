#include "framework/orbcli/values.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/uuid.h"

namespace orbcli {
namespace {

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

template <typename T>
Value Pod(int type, T value) {
    Value out;
    out.type = type;
    out.bytes.resize(sizeof(T));
    std::memcpy(out.bytes.data(), &value, sizeof(T));
    return out;
}

template <typename T>
T ReadPod(const Value& value) {
    T out{};
    std::memcpy(&out, value.bytes.data(), std::min(sizeof(T), value.bytes.size()));
    return out;
}

// Decimal with an optional sign, or 0x-hex. Hex covers the whole 32 bits so
// that flag words can be written as the product documents them.
std::optional<int32_t> ParseInt32(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        uint32_t bits = 0;
        auto [end, ec] = std::from_chars(first + 2, last, bits, 16);
        if (ec != std::errc() || end != last) return std::nullopt;
        return static_cast<int32_t>(bits);
    }
    int32_t number = 0;
    auto [end, ec] = std::from_chars(first, last, number, 10);
    if (ec != std::errc() || end != last) return std::nullopt;
    return number;
}

std::optional<Value> ParseDouble(const std::string& text) {
    double number = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(number))
        return std::nullopt;
    return Pod(kDouble, number);
}

std::optional<Value> ParseBoolean(const std::string& text) {
    const std::string word = Lower(text);
    if (word == "true" || word == "1" || word == "yes") return Pod<int32_t>(kBoolean, 1);
    if (word == "false" || word == "0" || word == "no") return Pod<int32_t>(kBoolean, 0);
    return std::nullopt;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<Value> ParseBinary(std::string text) {
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.erase(0, 2);
    if (text.size() % 2 != 0) return std::nullopt;
    Value out;
    out.type = kBinary;
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out.bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return out;
}

Value Text(int type, const std::string& text) {
    Value out;
    out.type = type;
    out.bytes.assign(text.begin(), text.end());
    return out;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    for (uint8_t b : bytes) {
        out += kDigits[b >> 4];
        out += kDigits[b & 15];
    }
    return out;
}

std::string Quote(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string DoubleText(double number) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, number);
    return ec == std::errc() ? std::string(buffer, end) : "0";
}

std::string UuidText(const Value& value) {
    if (value.bytes.size() != sizeof(UUID)) return Hex(value.bytes);
    return orb::UuidToString(ReadPod<UUID>(value));
}

std::string TextOf(const Value& value) {
    return std::string(value.bytes.begin(), value.bytes.end());
}

}  // namespace

std::string TypeName(int type) {
    switch (type) {
        case kString:
            return "string";
        case kInteger:
            return "integer";
        case kDouble:
            return "double";
        case kUuid:
            return "uuid";
        case kBoolean:
            return "boolean";
        case kDateTime:
            return "datetime";
        case kChar:
            return "char";
        case kBinary:
            return "binary";
        default:
            return "type " + std::to_string(type);
    }
}

std::optional<Value> ParseValue(int type, const std::string& text, std::string* error) {
    std::optional<Value> out;
    switch (type) {
        case kString:
        case kDateTime:
            out = Text(type, text);
            break;
        case kInteger:
            if (auto number = ParseInt32(text)) out = Pod(kInteger, *number);
            break;
        case kDouble:
            out = ParseDouble(text);
            break;
        case kBoolean:
            out = ParseBoolean(text);
            break;
        case kChar:
            if (text.size() == 1) out = Text(kChar, text);
            break;
        case kBinary:
            out = ParseBinary(text);
            break;
        case kUuid: {
            UUID id{};
            if (orb::UuidFromString(text, &id)) out = Pod(kUuid, id);
            break;
        }
        default:
            *error = "values of " + TypeName(type) + " cannot be given on the command line";
            return std::nullopt;
    }
    if (!out) *error = "\"" + text + "\" is not a valid " + TypeName(type);
    return out;
}

std::string FormatValue(const Value& value) {
    if (value.null) return "null";
    switch (value.type) {
        case kInteger:
            return std::to_string(ReadPod<int32_t>(value));
        case kDouble:
            return DoubleText(ReadPod<double>(value));
        case kBoolean:
            return ReadPod<int32_t>(value) != 0 ? "true" : "false";
        case kUuid:
            return UuidText(value);
        case kBinary:
            return Hex(value.bytes);
        default:
            return Quote(TextOf(value));
    }
}

nlohmann::ordered_json ValueToJson(const Value& value) {
    if (value.null) return nullptr;
    switch (value.type) {
        case kInteger:
            return ReadPod<int32_t>(value);
        case kDouble:
            return ReadPod<double>(value);
        case kBoolean:
            return ReadPod<int32_t>(value) != 0;
        case kUuid:
            return UuidText(value);
        case kBinary:
            return Hex(value.bytes);
        default:
            return TextOf(value);
    }
}

bool SplitAssignment(const std::string& arg, std::string* prop, std::string* text) {
    const size_t eq = arg.find('=');
    if (eq == std::string::npos || eq == 0) return false;
    *prop = arg.substr(0, eq);
    *text = arg.substr(eq + 1);
    return true;
}

}  // namespace orbcli
