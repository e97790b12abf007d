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

// Longest key path (characters, below the hive) and value name accepted.
#define ORB_REG_MAX_KEY_PATH 255
#define ORB_REG_MAX_VALUE_NAME 16383

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM sam, PHKEY result);
LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD reserved, LPSTR cls, DWORD options,
                     REGSAM sam, void* security, PHKEY result, LPDWORD disposition);
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

// Convenience reads and writes for C++ callers and tools: path relative to
// HKEY_LOCAL_MACHINE. Return ERROR_* codes like the calls above.
LONG RegGetString(const std::string& keyPath, const std::string& name, std::string* out);
LONG RegGetDword(const std::string& keyPath, const std::string& name, DWORD* out);
LONG RegSetString(const std::string& keyPath, const std::string& name, const std::string& value,
                  DWORD type = REG_SZ);
LONG RegSetDword(const std::string& keyPath, const std::string& name, DWORD value);
LONG RegSetMultiString(const std::string& keyPath, const std::string& name,
                       const std::vector<std::string>& items);

}  // namespace orb
