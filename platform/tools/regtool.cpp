// regtool: the operators' view of a machine's registry (HKEY_LOCAL_MACHINE
// of the machine root in ORB_MACHINE_ROOT).
//
//   regtool query KEY [NAME]          NAME<TAB>TYPE<TAB>DATA per value
//   regtool set KEY NAME TYPE DATA... creates KEY when missing
//   regtool delete KEY [NAME]         a value, or the key with its subtree
//   regtool export [KEY]              the subtree as text
//
// Exit codes: 0 done, 1 key or value not found, 2 bad command line or data,
// 3 any other registry error.
#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace {

constexpr int kExitNotFound = 1;
constexpr int kExitUsage = 2;
constexpr int kExitFailed = 3;

constexpr const char* kKeyHelp = "key path below HKLM, with backslashes";
constexpr const char* kNameHelp = "value name; \"\" or (Default): the default value";

struct UsageError {
    std::string message;
};

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// KEY is relative to HKEY_LOCAL_MACHINE; the hive's name may lead.
std::string KeyPath(const std::string& key) {
    for (const char* hive : {"hklm", "hkey_local_machine"}) {
        const std::string prefix = hive;
        const std::string lower = Lower(key);
        if (lower == prefix) return "";
        if (lower.rfind(prefix + "\\", 0) == 0) return key.substr(prefix.size() + 1);
    }
    return key;
}

// The default value is named by "" or by its display name.
std::string ValueName(const std::string& name) {
    return Lower(name) == Lower(orb::kRegDefaultValueName) ? std::string() : name;
}

// Decimal or 0x-hex, optionally negative: -1 is the all-ones pattern.
uint64_t ParseNumber(const std::string& text, unsigned bits) {
    const bool negative = !text.empty() && text[0] == '-';
    std::string digits = negative ? text.substr(1) : text;
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        digits = digits.substr(2);
        base = 16;
    }
    if (digits.empty() || digits.find_first_of("+- \t") != std::string::npos) {
        throw UsageError{"not a number: " + text};
    }
    errno = 0;
    char* end = nullptr;
    const unsigned long long magnitude = std::strtoull(digits.c_str(), &end, base);
    const unsigned long long limit = bits == 64 ? ~0ULL : (1ULL << bits) - 1;
    const unsigned long long negativeLimit = 1ULL << (bits - 1);
    if (errno || *end || magnitude > (negative ? negativeLimit : limit)) {
        throw UsageError{"not a " + std::to_string(bits) + "-bit number: " + text};
    }
    return negative ? (0 - magnitude) & limit : magnitude;
}

std::vector<BYTE> ParseHex(const std::vector<std::string>& args) {
    std::string digits;
    for (const std::string& arg : args) digits += arg;
    if (digits.size() % 2 ||
        digits.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
        throw UsageError{"hex data needs pairs of hex digits: " + digits};
    }
    std::vector<BYTE> bytes;
    for (size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<BYTE>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<BYTE> LittleEndian(uint64_t value, size_t size) {
    std::vector<BYTE> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
    return bytes;
}

const std::string& OneArgument(const std::vector<std::string>& data, const std::string& type) {
    if (data.size() != 1) throw UsageError{type + " takes exactly one DATA argument"};
    return data[0];
}

std::vector<BYTE> ParseData(DWORD type, const std::string& typeName,
                            const std::vector<std::string>& data) {
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            const std::string& text = OneArgument(data, typeName);
            std::vector<BYTE> bytes(text.begin(), text.end());
            bytes.push_back(0);
            return bytes;
        }
        case REG_MULTI_SZ: {
            std::vector<BYTE> bytes;
            for (const std::string& item : data) {
                if (item.empty()) throw UsageError{"REG_MULTI_SZ items cannot be empty"};
                bytes.insert(bytes.end(), item.begin(), item.end());
                bytes.push_back(0);
            }
            bytes.push_back(0);
            return bytes;
        }
        case REG_DWORD:
            return LittleEndian(ParseNumber(OneArgument(data, typeName), 32), 4);
        case REG_QWORD:
            return LittleEndian(ParseNumber(OneArgument(data, typeName), 64), 8);
        default:
            return ParseHex(data);
    }
}

int Report(LONG rc, const std::string& what) {
    if (rc == ERROR_SUCCESS) return 0;
    std::cerr << "regtool: " << what << ": " << orb::RegErrorMessage(rc) << "\n";
    return rc == ERROR_FILE_NOT_FOUND ? kExitNotFound : kExitFailed;
}

std::string Shown(const std::string& key, const std::string& name) {
    return "HKLM\\" + KeyPath(key) + (name.empty() ? "" : " " + name);
}

int Query(const std::string& key, const std::string& name, bool oneValue) {
    std::vector<orb::RegValue> values(1);
    LONG rc = oneValue ? orb::RegReadValue(KeyPath(key), ValueName(name), &values[0])
                       : orb::RegReadValues(KeyPath(key), &values);
    if (rc != ERROR_SUCCESS) return Report(rc, Shown(key, name));
    for (const orb::RegValue& value : values) std::cout << orb::RegFormatLine(value) << '\n';
    return 0;
}

int Set(const std::string& key, const std::string& name, const std::string& typeName,
        const std::vector<std::string>& data) {
    DWORD type;
    if (!orb::RegTypeFromName(typeName, &type)) throw UsageError{"unknown type: " + typeName};
    orb::RegValue value{ValueName(name), type, ParseData(type, typeName, data)};
    return Report(orb::RegWriteValue(KeyPath(key), value), Shown(key, name));
}

int Delete(const std::string& key, const std::string& name, bool oneValue) {
    LONG rc = oneValue ? orb::RegRemoveValue(KeyPath(key), ValueName(name))
                       : orb::RegRemoveKey(KeyPath(key));
    return Report(rc, Shown(key, name));
}

int Export(const std::string& key) {
    std::string text;
    LONG rc = orb::RegExportText(KeyPath(key), &text);
    if (rc != ERROR_SUCCESS) return Report(rc, Shown(key, ""));
    std::cout << text;
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"regtool: query and change the machine's registry (HKEY_LOCAL_MACHINE)"};
    app.require_subcommand(1);
    app.footer(
        "KEY is below HKEY_LOCAL_MACHINE, with backslashes; a leading HKLM\\ is "
        "accepted.\nExit codes: 0 done, 1 key or value not found, 2 bad command line "
        "or data, 3 other registry error.");
    std::string key, name, type;
    std::vector<std::string> data;

    auto* query = app.add_subcommand("query", "print the values of KEY, or its value NAME");
    query->add_option("KEY", key, kKeyHelp)->required();
    auto* queryName = query->add_option("NAME", name, kNameHelp);

    auto* set = app.add_subcommand("set", "set value NAME of KEY, creating KEY when missing");
    set->add_option("KEY", key, kKeyHelp)->required();
    set->add_option("NAME", name, kNameHelp)->required();
    set->add_option("TYPE", type,
                    "REG_SZ REG_EXPAND_SZ REG_MULTI_SZ REG_DWORD REG_QWORD "
                    "REG_BINARY REG_NONE")
        ->required();
    set->add_option("DATA", data, "REG_MULTI_SZ: one per string; REG_BINARY: hex");

    auto* del = app.add_subcommand("delete", "delete value NAME of KEY, or KEY with its subkeys");
    del->add_option("KEY", key, kKeyHelp)->required();
    auto* deleteName = del->add_option("NAME", name, kNameHelp);

    auto* exp = app.add_subcommand("export", "print KEY (default: the whole hive) and below");
    exp->add_option("KEY", key, kKeyHelp);

    try {
        app.parse(argc, argv);
        if (*query) return Query(key, name, queryName->count() > 0);
        if (*set) return Set(key, name, type, data);
        if (*del) return Delete(key, name, deleteName->count() > 0);
        return Export(key);
    } catch (const CLI::ParseError& e) {
        const int rc = app.exit(e);
        return rc == 0 ? 0 : kExitUsage;
    } catch (const UsageError& e) {
        std::cerr << "regtool: " << e.message << '\n';
        return kExitUsage;
    } catch (const std::exception& e) {
        std::cerr << "regtool: " << e.what() << '\n';
        return kExitFailed;
    }
}
