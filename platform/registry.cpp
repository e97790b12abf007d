// The Win32 registry calls over the hive store. Every call resolves its
// handle, walks the key path and does its work in one transaction, so a call
// never sees half of another process's write.
#include "platform/registry.h"

#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <unordered_set>

#include "platform/machine.h"
#include "platform/registry_store.h"

using orb::reg::Hive;
using orb::reg::kRootKey;
using orb::reg::ValueRow;

// What an HKEY points to. Handles hold their hive's file name, not the hive,
// so a handle outlives a test tearing its machine root down.
struct OrbRegKey {
    std::string hive;
    int64_t id;
    std::string path;  // below HKEY_LOCAL_MACHINE, as the keys are spelled
    REGSAM sam;
};

namespace {

std::string HivePathOf(const std::string& root) { return root + "/registry.db"; }

// Live handles, so that a stale or made-up HKEY is refused, not followed.
class HandleTable {
  public:
    static HandleTable& Instance() {
        static HandleTable* table = new HandleTable;  // used until the very end
        return *table;
    }
    // Null when out of memory.
    HKEY Add(OrbRegKey key) noexcept {
        try {
            auto handle = std::make_unique<OrbRegKey>(std::move(key));
            std::lock_guard<std::mutex> lock(mutex_);
            live_.insert(handle.get());
            return handle.release();
        } catch (...) {
            return nullptr;
        }
    }
    bool Remove(HKEY handle) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!live_.erase(handle)) return false;
        }
        delete handle;
        return true;
    }
    bool Copy(HKEY handle, OrbRegKey* out) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!live_.count(handle)) return false;
        *out = *handle;
        return true;
    }

  private:
    std::mutex mutex_;
    std::unordered_set<OrbRegKey*> live_;
};

bool IsPredefined(HKEY key) {
    return key == HKEY_LOCAL_MACHINE || key == HKEY_CLASSES_ROOT || key == HKEY_CURRENT_USER;
}

LONG Resolve(HKEY key, OrbRegKey* target) {
    if (key == HKEY_LOCAL_MACHINE) {
        *target = OrbRegKey{HivePathOf(orb::MachineRoot()), kRootKey, "", KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    if (!key || IsPredefined(key)) return ERROR_INVALID_HANDLE;
    return HandleTable::Instance().Copy(key, target) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// Splits a subkey path into its names and checks the full length.
LONG SplitPath(const std::string& base, LPCSTR subKey, std::vector<std::string>* parts) {
    size_t length = base.size();
    std::string part;
    for (const char* p = subKey ? subKey : "";; ++p) {
        if (*p == '\\' || *p == '\0') {
            if (!part.empty()) {
                length += (length ? 1 : 0) + part.size();
                if (length > ORB_REG_MAX_KEY_PATH) return ERROR_FILENAME_EXCED_RANGE;
                parts->push_back(std::move(part));
                part.clear();
            }
            if (*p == '\0') return ERROR_SUCCESS;
        } else {
            part += *p;
        }
    }
}

std::string Join(const std::string& base, const std::string& name) {
    return base.empty() ? name : base + "\\" + name;
}

// The key a call works on, found (or made) inside the call's transaction.
struct Place {
    std::string hive;
    int64_t id = kRootKey;
    std::string path;
    bool created = false;
};

LONG Walk(Hive& hive, const OrbRegKey& from, const std::vector<std::string>& parts, bool create,
          Place* place) {
    LONG rc = hive.KeyExists(from.id);
    if (rc != ERROR_SUCCESS) return rc;
    *place = Place{from.hive, from.id, from.path, false};
    for (const std::string& part : parts) {
        std::string stored;
        rc = hive.FindChild(place->id, part, &place->id, &stored);
        if (rc == ERROR_FILE_NOT_FOUND && create) {
            rc = hive.AddChild(place->id, part, &place->id);
            stored = part;
            place->created = true;
        }
        if (rc != ERROR_SUCCESS) return rc;
        place->path = Join(place->path, stored);
    }
    return ERROR_SUCCESS;
}

// Nothing throws out of the registry: running out of memory is a code.
template <class F>
LONG Guarded(F&& f) noexcept {
    try {
        return f();
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_REGISTRY_IO_FAILED;
    }
}

enum class Mode { kRead, kWrite, kCreate };

// Resolves key\subKey and runs body on it in one transaction. missing is the
// answer when the hive does not exist yet (it reads as an empty hive).
LONG AtKey(HKEY key, LPCSTR subKey, Mode mode, REGSAM need, LONG missing,
           const std::function<LONG(Hive&, const Place&)>& body) {
    return Guarded([&]() -> LONG {
        OrbRegKey from;
        LONG rc = Resolve(key, &from);
        if (rc != ERROR_SUCCESS) return rc;
        if ((from.sam & need) != need) return ERROR_ACCESS_DENIED;
        std::vector<std::string> parts;
        rc = SplitPath(from.path, subKey, &parts);
        if (rc != ERROR_SUCCESS) return rc;
        std::shared_ptr<Hive> hive = Hive::Get(from.hive, mode != Mode::kRead, &rc);
        if (!hive) {
            if (rc != ERROR_FILE_NOT_FOUND) return rc;
            return from.id == kRootKey ? missing : ERROR_KEY_DELETED;
        }
        auto work = [&] {
            Place place;
            LONG walked = Walk(*hive, from, parts, mode == Mode::kCreate, &place);
            return walked == ERROR_SUCCESS ? body(*hive, place) : walked;
        };
        return mode == Mode::kRead ? hive->Read(work) : hive->Write(work);
    });
}

// Win32 copy-out: null data asks for the size; too small a buffer gets
// ERROR_MORE_DATA and the size needed, and is left untouched.
LONG CopyData(const ValueRow& row, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (type) *type = row.type;
    if (!size) return ERROR_SUCCESS;
    const DWORD needed = static_cast<DWORD>(row.data.size());
    if (data && *size < needed) {
        *size = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed) std::memcpy(data, row.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
}

// Name copy-out for the enumerations; *length counts characters.
LONG CopyName(const std::string& name, LPSTR buffer, LPDWORD length) {
    if (*length < name.size() + 1) {
        *length = static_cast<DWORD>(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *length = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

bool IsString(DWORD type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Strings are kept with their terminators, whatever the caller counted.
std::vector<BYTE> StoredForm(DWORD type, const BYTE* data, DWORD size) {
    std::vector<BYTE> bytes(data, data + size);
    if (!IsString(type)) return bytes;
    if (bytes.empty() || bytes.back() != 0) bytes.push_back(0);
    if (type == REG_MULTI_SZ && bytes.size() > 1 && bytes[bytes.size() - 2] != 0) {
        bytes.push_back(0);
    }
    return bytes;
}

LONG CheckValue(LPCSTR name, DWORD type, const BYTE* data, DWORD size) {
    if (name && std::strlen(name) > ORB_REG_MAX_VALUE_NAME) return ERROR_FILENAME_EXCED_RANGE;
    if (!data && size) return ERROR_INVALID_PARAMETER;
    if (type == REG_DWORD && size != sizeof(DWORD)) return ERROR_INVALID_PARAMETER;
    return ERROR_SUCCESS;
}

HKEY NewHandle(const Place& place, REGSAM sam) {
    return HandleTable::Instance().Add(OrbRegKey{place.hive, place.id, place.path, sam});
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM sam, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Place found;
    LONG rc =
        AtKey(key, subKey, Mode::kRead, 0, ERROR_FILE_NOT_FOUND, [&](Hive&, const Place& place) {
            found = place;
            return ERROR_SUCCESS;
        });
    if (rc != ERROR_SUCCESS) return rc;
    *result = NewHandle(found, sam);
    return *result ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM sam, void*, PHKEY result,
                     LPDWORD disposition) {
    if (!result || !subKey) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Place made;
    LONG rc = AtKey(key, subKey, Mode::kCreate, KEY_CREATE_SUB_KEY, ERROR_FILE_NOT_FOUND,
                    [&](Hive&, const Place& place) {
                        made = place;
                        return ERROR_SUCCESS;
                    });
    if (rc != ERROR_SUCCESS) return rc;
    *result = NewHandle(made, sam);
    if (!*result) return ERROR_NOT_ENOUGH_MEMORY;
    if (disposition) *disposition = made.created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (IsPredefined(key)) return ERROR_SUCCESS;
    if (!key) return ERROR_INVALID_HANDLE;
    return HandleTable::Instance().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (data && !size) return ERROR_INVALID_PARAMETER;
    ValueRow row;
    LONG rc = AtKey(key, nullptr, Mode::kRead, KEY_QUERY_VALUE, ERROR_FILE_NOT_FOUND,
                    [&](Hive& hive, const Place& place) {
                        return hive.GetValue(place.id, name ? name : "", &row);
                    });
    return rc == ERROR_SUCCESS ? CopyData(row, type, data, size) : rc;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    LONG rc = CheckValue(name, type, data, size);
    if (rc != ERROR_SUCCESS) return rc;
    return Guarded([&] {
        const std::vector<BYTE> bytes = StoredForm(type, data, size);
        return AtKey(key, nullptr, Mode::kWrite, KEY_SET_VALUE, ERROR_FILE_NOT_FOUND,
                     [&](Hive& hive, const Place& place) {
                         return hive.PutValue(place.id, name ? name : "", type, bytes.data(),
                                              bytes.size());
                     });
    });
}

LONG RegDeleteValueA(HKEY key, LPCSTR name) {
    return AtKey(key, nullptr, Mode::kWrite, KEY_SET_VALUE, ERROR_FILE_NOT_FOUND,
                 [&](Hive& hive, const Place& place) {
                     return hive.DeleteValue(place.id, name ? name : "");
                 });
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    if (!subKey) return ERROR_INVALID_PARAMETER;
    return AtKey(key, subKey, Mode::kWrite, 0, ERROR_FILE_NOT_FOUND,
                 [&](Hive& hive, const Place& place) {
                     // The hive's root is not a key anyone may delete.
                     if (place.id == kRootKey) return LONG{ERROR_ACCESS_DENIED};
                     return hive.DeleteTree(place.id);
                 });
}

LONG RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPSTR cls,
                   LPDWORD clsLength, void*) {
    if (!name || !nameLength) return ERROR_INVALID_PARAMETER;
    std::string child;
    LONG rc = AtKey(
        key, nullptr, Mode::kRead, KEY_ENUMERATE_SUB_KEYS, ERROR_NO_MORE_ITEMS,
        [&](Hive& hive, const Place& place) { return hive.ChildAt(place.id, index, &child); });
    if (rc != ERROR_SUCCESS) return rc;
    // Keys here have no class.
    if (clsLength) {
        if (cls && *clsLength > 0) cls[0] = '\0';
        *clsLength = 0;
    }
    return CopyName(child, name, nameLength);
}

LONG RegEnumValueA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD, LPDWORD type,
                   LPBYTE data, LPDWORD dataLength) {
    if (!name || !nameLength || (data && !dataLength)) return ERROR_INVALID_PARAMETER;
    ValueRow row;
    LONG rc =
        AtKey(key, nullptr, Mode::kRead, KEY_QUERY_VALUE, ERROR_NO_MORE_ITEMS,
              [&](Hive& hive, const Place& place) { return hive.ValueAt(place.id, index, &row); });
    if (rc != ERROR_SUCCESS) return rc;
    rc = CopyName(row.name, name, nameLength);
    if (rc != ERROR_SUCCESS) return rc;
    return CopyData(row, type, data, dataLength);
}

LONG RegConnectRegistryA(LPCSTR machine, HKEY key, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    if (key != HKEY_LOCAL_MACHINE) return ERROR_INVALID_HANDLE;
    return Guarded([&]() -> LONG {
        const std::string root =
            machine && *machine ? orb::MachineRootOf(machine) : orb::MachineRoot();
        if (root.empty()) return ERROR_BAD_NETPATH;
        Place top;
        top.hive = HivePathOf(root);
        *result = NewHandle(top, KEY_ALL_ACCESS);
        return *result ? ERROR_SUCCESS : ERROR_NOT_ENOUGH_MEMORY;
    });
}

namespace orb {

std::string RegHivePath() { return HivePathOf(orb::MachineRoot()); }

LONG RegCheckHive() {
    return Guarded([]() -> LONG {
        LONG rc = ERROR_SUCCESS;
        std::shared_ptr<Hive> hive = Hive::Get(HivePathOf(orb::MachineRoot()), false, &rc);
        if (!hive) return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
        return hive->Check();
    });
}

bool RegHiveUsable(const char* program) {
    const LONG hive = RegCheckHive();
    if (hive == ERROR_SUCCESS) return true;
    std::fprintf(stderr, "%s: cannot read the registry: %s\n", program,
                 RegErrorMessage(hive).c_str());
    return false;
}

LONG RegReadValue(const std::string& keyPath, const std::string& name, RegValue* value) {
    return Guarded([&]() -> LONG {
        ValueRow row;
        LONG rc = AtKey(
            HKEY_LOCAL_MACHINE, keyPath.c_str(), Mode::kRead, 0, ERROR_FILE_NOT_FOUND,
            [&](Hive& hive, const Place& place) { return hive.GetValue(place.id, name, &row); });
        if (rc == ERROR_SUCCESS) *value = RegValue{row.name, row.type, std::move(row.data)};
        return rc;
    });
}

LONG RegReadValues(const std::string& keyPath, std::vector<RegValue>* values) {
    return Guarded([&]() -> LONG {
        std::vector<ValueRow> rows;
        LONG rc =
            AtKey(HKEY_LOCAL_MACHINE, keyPath.c_str(), Mode::kRead, 0, ERROR_FILE_NOT_FOUND,
                  [&](Hive& hive, const Place& place) { return hive.Values(place.id, &rows); });
        values->clear();
        for (ValueRow& row : rows) {
            values->push_back(RegValue{std::move(row.name), row.type, std::move(row.data)});
        }
        return rc;
    });
}

LONG RegReadSubkeys(const std::string& keyPath, std::vector<std::string>* names) {
    names->clear();
    return AtKey(HKEY_LOCAL_MACHINE, keyPath.c_str(), Mode::kRead, 0, ERROR_FILE_NOT_FOUND,
                 [&](Hive& hive, const Place& place) { return hive.Children(place.id, names); });
}

LONG RegWriteValue(const std::string& keyPath, const RegValue& value) {
    return Guarded([&]() -> LONG {
        const auto size = static_cast<DWORD>(value.data.size());
        LONG rc = CheckValue(value.name.c_str(), value.type, value.data.data(), size);
        if (rc != ERROR_SUCCESS) return rc;
        const std::vector<BYTE> bytes = StoredForm(value.type, value.data.data(), size);
        return AtKey(HKEY_LOCAL_MACHINE, keyPath.c_str(), Mode::kCreate, 0, ERROR_FILE_NOT_FOUND,
                     [&](Hive& hive, const Place& place) {
                         return hive.PutValue(place.id, value.name, value.type, bytes.data(),
                                              bytes.size());
                     });
    });
}

LONG RegRemoveValue(const std::string& keyPath, const std::string& name) {
    return AtKey(HKEY_LOCAL_MACHINE, keyPath.c_str(), Mode::kWrite, 0, ERROR_FILE_NOT_FOUND,
                 [&](Hive& hive, const Place& place) { return hive.DeleteValue(place.id, name); });
}

LONG RegRemoveKey(const std::string& keyPath) {
    return RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyPath.c_str());
}

LONG RegStoredPath(const std::string& keyPath, std::string* stored) {
    return AtKey(HKEY_LOCAL_MACHINE, keyPath.c_str(), Mode::kRead, 0, ERROR_FILE_NOT_FOUND,
                 [&](Hive&, const Place& place) {
                     *stored = place.path;
                     return ERROR_SUCCESS;
                 });
}

LONG RegGetString(const std::string& keyPath, const std::string& name, std::string* out) {
    return Guarded([&]() -> LONG {
        RegValue value;
        LONG rc = RegReadValue(keyPath, name, &value);
        if (rc != ERROR_SUCCESS) return rc;
        if (value.type != REG_SZ && value.type != REG_EXPAND_SZ) return ERROR_UNSUPPORTED_TYPE;
        const auto* text = reinterpret_cast<const char*>(value.data.data());
        *out = std::string(text, strnlen(text, value.data.size()));
        return ERROR_SUCCESS;
    });
}

LONG RegGetDword(const std::string& keyPath, const std::string& name, DWORD* out) {
    return Guarded([&]() -> LONG {
        RegValue value;
        LONG rc = RegReadValue(keyPath, name, &value);
        if (rc != ERROR_SUCCESS) return rc;
        if (value.type != REG_DWORD || value.data.size() != sizeof(DWORD)) {
            return ERROR_UNSUPPORTED_TYPE;
        }
        std::memcpy(out, value.data.data(), sizeof(DWORD));
        return ERROR_SUCCESS;
    });
}

LONG RegSetString(const std::string& keyPath, const std::string& name, const std::string& value,
                  DWORD type) {
    return Guarded([&]() -> LONG {
        const auto* bytes = reinterpret_cast<const BYTE*>(value.c_str());
        return RegWriteValue(keyPath, RegValue{name, type, {bytes, bytes + value.size() + 1}});
    });
}

LONG RegSetDword(const std::string& keyPath, const std::string& name, DWORD value) {
    return Guarded([&]() -> LONG {
        const auto* bytes = reinterpret_cast<const BYTE*>(&value);
        return RegWriteValue(keyPath, RegValue{name, REG_DWORD, {bytes, bytes + sizeof value}});
    });
}

LONG RegSetMultiString(const std::string& keyPath, const std::string& name,
                       const std::vector<std::string>& items) {
    return Guarded([&]() -> LONG {
        // Each item with its terminator, then the list's own; an empty list is
        // the single NUL byte.
        std::vector<BYTE> bytes;
        for (const std::string& item : items) {
            bytes.insert(bytes.end(), item.begin(), item.end());
            bytes.push_back(0);
        }
        bytes.push_back(0);
        return RegWriteValue(keyPath, RegValue{name, REG_MULTI_SZ, std::move(bytes)});
    });
}

}  // namespace orb
