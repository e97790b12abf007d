// The hive's storage: one SQLite database per machine ("registry.db" in the
// machine root). Internal to the registry; callers use platform/registry.h.
//
// Keys form a tree of rows (id, parent, name); the root key has id 0 and no
// row. Names are stored twice: as created (for display) and folded to lower
// case (for lookup), because registry names compare without letter case.
// Key ids are never reused, so a handle to a deleted key can tell.
//
// Concurrency: one connection per hive per process, guarded by a mutex;
// between processes SQLite's WAL locking serialises writers. The busy timeout
// is set before any other statement and every write begins IMMEDIATE: a
// deferred transaction that reads first and writes later fails with BUSY
// errors the timeout does not cure.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/win32.h"

namespace orb::reg {

inline constexpr int64_t kRootKey = 0;

struct ValueRow {
    std::string name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

// Lower-case copy used for every name comparison.
std::string Fold(std::string_view name);

class Hive {
  public:
    // The hive in the database file at path. Without create, a missing file
    // answers ERROR_FILE_NOT_FOUND and nothing is created.
    static std::shared_ptr<Hive> Get(const std::string& path, bool create, LONG* error);

    ~Hive();
    Hive(const Hive&) = delete;
    Hive& operator=(const Hive&) = delete;

    // Runs body in one transaction, committed when body answers
    // ERROR_SUCCESS and rolled back otherwise; retried while the database is
    // busy. body's outputs must be safe to overwrite on a retry.
    LONG Read(const std::function<LONG()>& body);
    LONG Write(const std::function<LONG()>& body);

    // The hive's own consistency check: ERROR_SUCCESS or ERROR_BADDB.
    LONG Check();

    // The operations below run inside Read or Write.
    LONG KeyExists(int64_t id);  // ERROR_SUCCESS or ERROR_KEY_DELETED
    LONG FindChild(int64_t parent, std::string_view name, int64_t* id, std::string* stored);
    LONG AddChild(int64_t parent, std::string_view name, int64_t* id);
    LONG DeleteTree(int64_t id);
    LONG ChildAt(int64_t parent, DWORD index, std::string* name);
    LONG GetValue(int64_t key, std::string_view name, ValueRow* row);
    LONG PutValue(int64_t key, std::string_view name, DWORD type, const BYTE* data, size_t size);
    LONG DeleteValue(int64_t key, std::string_view name);
    LONG ValueAt(int64_t key, DWORD index, ValueRow* row);
    // All at once, in the orders ChildAt and ValueAt enumerate them.
    LONG Children(int64_t parent, std::vector<std::string>* names);
    LONG Values(int64_t key, std::vector<ValueRow>* rows);

  private:
    class Statement;
    Hive() = default;
    LONG Open(const std::string& path, bool create);
    LONG Transact(const char* begin, const std::function<LONG()>& body);
    sqlite3_stmt* Prepare(const char* sql);
    int Run(const char* sql);  // one cached statement without results
    LONG Fail(int rc);         // remembers rc, answers its Win32 code

    sqlite3* db_ = nullptr;
    bool readOnly_ = false;
    // Set when the database found the file damaged: nothing more is written
    // to it, every later transaction answers ERROR_BADDB.
    bool damaged_ = false;
    int lastRc_ = SQLITE_OK;
    std::mutex mutex_;
    std::unordered_map<const char*, sqlite3_stmt*> statements_;
    friend class HiveCache;
};

}  // namespace orb::reg
