// The registry: the HKEY_LOCAL_MACHINE hive of a machine, kept in an SQLite
// database in the machine root ("registry.db"). The calls have the shapes and
// the result codes of the Win32 registry API, buffer sizes included, because
// the system's code passes buffer sizes and relies on ERROR_MORE_DATA and on
// the sizes returned.
//
// - Key paths use "\\" as the separator; key and value names compare without
//   letter case and keep the case they were created with.
// - Every write is one transaction; several processes and threads may write
//   one hive at once and nothing is lost.
// - REG_SZ/REG_EXPAND_SZ/REG_MULTI_SZ data are stored with their terminators,
//   as Windows stores them; sizes count bytes including terminators.
// - RegDeleteKeyA deletes the key with all its subkeys.
#pragma once

#include <string>
#include <vector>

#include "platform/win32.h"

struct OrbRegKey;
typedef OrbRegKey* HKEY;
typedef HKEY* PHKEY;
typedef DWORD REGSAM;

#define HKEY_CLASSES_ROOT ((HKEY)(uintptr_t)0x80000000u)
#define HKEY_CURRENT_USER ((HKEY)(uintptr_t)0x80000001u)
#define HKEY_LOCAL_MACHINE ((HKEY)(uintptr_t)0x80000002u)

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0
#define REG_CREATED_NEW_KEY 1
#define REG_OPENED_EXISTING_KEY 2

// Longest key path (characters, below the hive) and value name accepted;
// longer names answer ERROR_FILENAME_EXCED_RANGE.
#define ORB_REG_MAX_KEY_PATH 255
#define ORB_REG_MAX_VALUE_NAME 16383

// A value of another type than the convenience reads below expect.
#ifndef ERROR_UNSUPPORTED_TYPE
#define ERROR_UNSUPPORTED_TYPE 1630L
#endif

// Beyond Win32, where Windows would be lenient or undefined:
// - empty path elements ("A\\B", a leading or trailing "\") are skipped;
// - handles are checked against their access mask (ERROR_ACCESS_DENIED);
// - REG_DWORD data must be 4 bytes (ERROR_INVALID_PARAMETER);
// - string data without its terminator gets one (REG_MULTI_SZ: two);
// - a name buffer too small for an enumerated name answers ERROR_MORE_DATA
//   with the characters needed, terminator included, in *nameLength;
// - a missing hive reads as an empty one and is created by the first write;
//   a damaged one answers ERROR_BADDB and is never overwritten;
// - an unknown or already closed handle answers ERROR_INVALID_HANDLE, a
//   handle whose key was deleted ERROR_KEY_DELETED.

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR cls, DWORD options, REGSAM sam,
                     void* security, PHKEY result, LPDWORD disposition);
LONG RegCloseKey(HKEY key);
// data may be null (size query); *size in: buffer bytes, out: bytes stored or needed.
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);
LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);
LONG RegDeleteValueA(HKEY key, LPCSTR name);
// Deletes subKey and everything below it.
LONG RegDeleteKeyA(HKEY key, LPCSTR subKey);
LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPSTR cls, LPDWORD clsLength, void* lastWrite);
LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD dataLength);
// machine null or empty (or the local name): the local hive. "\\\\NAME" or
// "NAME": that computer's root (orb::MachineRootOf); ERROR_BAD_NETPATH when none.
LONG RegConnectRegistryA(LPCSTR machine, HKEY key, PHKEY result);

namespace orb {

// This machine's hive checked whole: ERROR_SUCCESS (also when there is no
// hive yet), ERROR_BADDB when it is damaged (an empty file included), or the
// failure that kept it from being read. Programs check it before their work:
// the calls above answer a damaged hive too, but many readers take any
// failure for "not set" and would run on with defaults.
LONG RegCheckHive();
// The file holding this machine's hive (it may not exist yet).
std::string RegHivePath();
// RegCheckHive for a program about to start its work: on a failure prints
// "PROGRAM: cannot read the registry: <RegErrorMessage>" to standard error and
// answers false; the program then ends non-zero instead of running on defaults.
bool RegHiveUsable(const char* program);

// Convenience reads and writes for C++ callers and tools: path relative to
// HKEY_LOCAL_MACHINE. Return ERROR_* codes like the calls above.
LONG RegGetString(const std::string& keyPath, const std::string& name, std::string* out);
LONG RegGetDword(const std::string& keyPath, const std::string& name, DWORD* out);
LONG RegSetString(const std::string& keyPath, const std::string& name, const std::string& value,
                  DWORD type = REG_SZ);
LONG RegSetDword(const std::string& keyPath, const std::string& name, DWORD value);
LONG RegSetMultiString(const std::string& keyPath, const std::string& name,
                       const std::vector<std::string>& items);

// Whole values and keys, each call one consistent read or one transaction.
struct RegValue {
    std::string name;  // "" is the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};
LONG RegReadValue(const std::string& keyPath, const std::string& name, RegValue* value);
// Values in the order they were first set.
LONG RegReadValues(const std::string& keyPath, std::vector<RegValue>* values);
// Subkey names in name order.
LONG RegReadSubkeys(const std::string& keyPath, std::vector<std::string>* names);
// Creates the key (and its parents) when missing.
LONG RegWriteValue(const std::string& keyPath, const RegValue& value);
LONG RegRemoveValue(const std::string& keyPath, const std::string& name);
LONG RegRemoveKey(const std::string& keyPath);
// keyPath as the hive spells it ("software\\x" -> "SOFTWARE\\X").
LONG RegStoredPath(const std::string& keyPath, std::string* stored);

// Text forms, shared by regtool and whoever shows registry data.
// How the default value (empty name) is shown.
inline constexpr const char* kRegDefaultValueName = "(Default)";
// "REG_SZ", ...; other types as "REG_TYPE_<n>".
std::string RegTypeName(DWORD type);
// Inverse of RegTypeName, without letter case; false when unknown.
bool RegTypeFromName(const std::string& name, DWORD* type);
// Strings up to their terminator (control characters escaped as \n, \t,
// \r or \xNN), REG_MULTI_SZ items joined by the two characters "\0",
// REG_DWORD and REG_QWORD in unsigned decimal, everything else as lower-case hex.
std::string RegFormatData(DWORD type, const std::vector<BYTE>& data);
// "NAME<TAB>TYPE<TAB>DATA", the line regtool query prints.
std::string RegFormatLine(const RegValue& value);
// The operators' words for a registry failure ("not found", "the registry
// hive is damaged", ...), and the same followed by " (error N)".
const char* RegErrorText(LONG code);
std::string RegErrorMessage(LONG code);
// keyPath and every key below it: "[HKLM\path]", then one RegFormatLine
// per value, then a blank line; subkeys in name order.
LONG RegExportText(const std::string& keyPath, std::string* text);

}  // namespace orb
