// Registry data as text: the forms regtool prints and reads back.
#include <strings.h>

#include <cstdio>
#include <cstring>

#include "platform/registry.h"

namespace {

struct TypeName {
    DWORD type;
    const char* name;
};
constexpr TypeName kTypeNames[] = {
    {REG_NONE, "REG_NONE"},     {REG_SZ, "REG_SZ"},       {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"}, {REG_DWORD, "REG_DWORD"}, {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
};
constexpr const char kOtherTypePrefix[] = "REG_TYPE_";

// A string shown on one line: control characters would break the
// NAME<TAB>TYPE<TAB>DATA layout, so they are escaped.
void AppendText(std::string* out, const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\n') {
            *out += "\\n";
        } else if (c == '\t') {
            *out += "\\t";
        } else if (c == '\r') {
            *out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", c);
            *out += escaped;
        } else {
            *out += static_cast<char>(c);
        }
    }
}

std::string Hex(const std::vector<BYTE>& data) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(data.size() * 2);
    for (BYTE b : data) {
        out += kDigits[b >> 4];
        out += kDigits[b & 0xF];
    }
    return out;
}

std::string MultiString(const std::vector<BYTE>& data) {
    std::string out;
    const char* p = reinterpret_cast<const char*>(data.data());
    const char* end = p + data.size();
    bool first = true;
    while (p < end && *p) {
        const size_t length = strnlen(p, end - p);
        if (!first) out += "\\0";
        AppendText(&out, p, length);
        first = false;
        p += length + 1;
    }
    return out;
}

uint64_t LittleEndian(const std::vector<BYTE>& data) {
    uint64_t value = 0;
    for (size_t i = data.size(); i-- > 0;) value = value << 8 | data[i];
    return value;
}

LONG ExportKey(const std::string& path, std::string* text) {
    std::vector<orb::RegValue> values;
    std::vector<std::string> subkeys;
    LONG rc = orb::RegReadValues(path, &values);
    if (rc == ERROR_SUCCESS) rc = orb::RegReadSubkeys(path, &subkeys);
    if (rc != ERROR_SUCCESS) return rc;
    *text += path.empty() ? "[HKLM]\n" : "[HKLM\\" + path + "]\n";
    for (const orb::RegValue& value : values) *text += orb::RegFormatLine(value) + "\n";
    *text += "\n";
    for (const std::string& name : subkeys) {
        rc = ExportKey(path.empty() ? name : path + "\\" + name, text);
        // A subkey deleted while we walk is simply no longer part of the tree.
        if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return rc;
    }
    return ERROR_SUCCESS;
}

}  // namespace

namespace orb {

std::string RegTypeName(DWORD type) {
    for (const TypeName& entry : kTypeNames) {
        if (entry.type == type) return entry.name;
    }
    return kOtherTypePrefix + std::to_string(type);
}

bool RegTypeFromName(const std::string& name, DWORD* type) {
    for (const TypeName& entry : kTypeNames) {
        if (strcasecmp(entry.name, name.c_str()) == 0) {
            *type = entry.type;
            return true;
        }
    }
    return false;
}

std::string RegFormatData(DWORD type, const std::vector<BYTE>& data) {
    const char* text = reinterpret_cast<const char*>(data.data());
    std::string out;
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            AppendText(&out, text, strnlen(text, data.size()));
            return out;
        case REG_MULTI_SZ:
            return MultiString(data);
        case REG_DWORD:
            if (data.size() == sizeof(DWORD)) return std::to_string(LittleEndian(data));
            return Hex(data);
        case REG_QWORD:
            if (data.size() == sizeof(uint64_t)) return std::to_string(LittleEndian(data));
            return Hex(data);
        default:
            return Hex(data);
    }
}

std::string RegFormatLine(const RegValue& value) {
    std::string line;
    if (value.name.empty()) {
        line = kRegDefaultValueName;
    } else {
        AppendText(&line, value.name.data(), value.name.size());
    }
    return line + "\t" + RegTypeName(value.type) + "\t" + RegFormatData(value.type, value.data);
}

LONG RegExportText(const std::string& keyPath, std::string* text) {
    text->clear();
    // Spelled as stored, so the headers read like the hive.
    std::string path;
    LONG rc = RegStoredPath(keyPath, &path);
    return rc == ERROR_SUCCESS ? ExportKey(path, text) : rc;
}

const char* RegErrorText(LONG rc) {
    switch (rc) {
        case ERROR_FILE_NOT_FOUND:
            return "not found";
        case ERROR_ACCESS_DENIED:
            return "access denied";
        case ERROR_FILENAME_EXCED_RANGE:
            return "name too long";
        case ERROR_INVALID_PARAMETER:
            return "invalid parameter";
        case ERROR_BADDB:
            return "the registry hive is damaged";
        case ERROR_CANTOPEN:
            return "the registry hive cannot be opened";
        case ERROR_CANTWRITE:
            return "the registry hive cannot be written";
        case ERROR_KEY_DELETED:
            return "the key was deleted";
        case ERROR_NOT_ENOUGH_MEMORY:
            return "out of memory";
        default:
            return "registry I/O failed";
    }
}

std::string RegErrorMessage(LONG rc) {
    return std::string(RegErrorText(rc)) + " (error " + std::to_string(rc) + ")";
}

}  // namespace orb
