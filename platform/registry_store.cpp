#include "platform/registry_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/privatefs.h"

namespace orb::reg {

namespace {

// How long one statement waits for another process's write lock, and how
// often a transaction is tried again when even that was not enough.
constexpr int kBusyTimeoutMs = 10000;
constexpr int kBusyAttempts = 5;
// Connections kept open at once. Each holds three files (database, WAL,
// shared memory); a test binary makes a machine root per test and must not
// run out of file descriptors.
constexpr size_t kMaxOpenHives = 8;

const char* const kSchema =
    "CREATE TABLE IF NOT EXISTS keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"  // never reused: see KeyExists
    "  parent INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  UNIQUE(parent, folded));"
    "CREATE TABLE IF NOT EXISTS vals("
    "  key INTEGER NOT NULL,"
    "  name TEXT NOT NULL,"
    "  folded TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key, folded));"
    // Entries of one key in rowid order: enumeration without a sort.
    "CREATE INDEX IF NOT EXISTS vals_order ON vals(key);";

constexpr int kOpenRetries = 200;      // journal-mode switches tried at open
constexpr int kOpenRetryPauseMs = 10;  // between two of them

bool IsBusy(int rc) {
    rc &= 0xFF;
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

LONG Win32Code(int rc) {
    switch (rc & 0xFF) {
        case SQLITE_OK:
        case SQLITE_ROW:
        case SQLITE_DONE:
            return ERROR_SUCCESS;
        case SQLITE_NOTADB:
        case SQLITE_CORRUPT:
        case SQLITE_ERROR:  // a database without our tables
            return ERROR_BADDB;
        case SQLITE_CANTOPEN:
            return ERROR_CANTOPEN;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return ERROR_ACCESS_DENIED;
        case SQLITE_FULL:
            return ERROR_CANTWRITE;
        case SQLITE_NOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case SQLITE_TOOBIG:
            return ERROR_INVALID_PARAMETER;
        default:
            return ERROR_REGISTRY_IO_FAILED;
    }
}

bool FileIdentity(const std::string& path, dev_t* dev, ino_t* ino) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return false;
    *dev = st.st_dev;
    *ino = st.st_ino;
    return true;
}

}  // namespace

std::string Fold(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

// One connection per hive file per process. A file that was removed or
// replaced since it was opened (a test's machine root torn down and made
// again) is opened anew rather than served from a stale connection.
class HiveCache {
  public:
    static HiveCache& Instance() {
        // Left alive at exit: threads of the agent may still use it then.
        static HiveCache* cache = new HiveCache;
        return *cache;
    }

    std::shared_ptr<Hive> Get(const std::string& path, bool create, LONG* error) {
        std::lock_guard<std::mutex> lock(mutex_);
        ForgetParentsConnections();
        auto it = entries_.find(path);
        if (it != entries_.end() && Current(path, it->second)) {
            it->second.lastUse = ++uses_;
            return it->second.hive;
        }
        if (!create && ::access(path.c_str(), F_OK) != 0) {
            *error = ERROR_FILE_NOT_FOUND;
            return nullptr;
        }
        std::shared_ptr<Hive> hive(new Hive);
        *error = hive->Open(path, create);
        if (*error != ERROR_SUCCESS) return nullptr;
        Entry fresh{hive, 0, 0, ++uses_};
        if (FileIdentity(path, &fresh.dev, &fresh.ino)) {
            MakeRoom();
            entries_[path] = fresh;
        }
        return hive;
    }

  private:
    struct Entry {
        std::shared_ptr<Hive> hive;
        dev_t dev;
        ino_t ino;
        uint64_t lastUse;
    };

    static bool Current(const std::string& path, const Entry& entry) {
        dev_t dev;
        ino_t ino;
        return FileIdentity(path, &dev, &ino) && dev == entry.dev && ino == entry.ino;
    }

    // Drops hives whose file is gone, then the least recently used. A hive
    // still in use by another thread closes when that thread is done.
    void MakeRoom() {
        std::erase_if(entries_, [](const auto& item) { return !Current(item.first, item.second); });
        while (entries_.size() >= kMaxOpenHives) {
            auto oldest = entries_.begin();
            for (auto it = entries_.begin(); it != entries_.end(); ++it) {
                if (it->second.lastUse < oldest->second.lastUse) oldest = it;
            }
            entries_.erase(oldest);
        }
    }

    // A connection must not be used across fork(); nor closed in the child,
    // where closing could disturb the parent's locks. The child opens its own.
    void ForgetParentsConnections() {
        if (::getpid() == pid_) return;
        for (auto& [path, entry] : entries_) orphans_.push_back(entry.hive);
        entries_.clear();
        pid_ = ::getpid();
    }

    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
    std::vector<std::shared_ptr<Hive>> orphans_;
    pid_t pid_ = ::getpid();
    uint64_t uses_ = 0;
};

// A cached prepared statement, reset for its next use when this goes.
class Hive::Statement {
  public:
    Statement(Hive& hive, const char* sql) : stmt_(hive.Prepare(sql)) {}
    ~Statement() {
        if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    bool ok() const { return stmt_ != nullptr; }
    Statement& Bind(int i, int64_t v) {
        sqlite3_bind_int64(stmt_, i, v);
        return *this;
    }
    Statement& Bind(int i, std::string_view v) {
        sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement& BindBlob(int i, const BYTE* data, size_t size) {
        // A null pointer would bind NULL, not an empty blob.
        static const BYTE empty = 0;
        sqlite3_bind_blob64(stmt_, i, size ? data : &empty, size, SQLITE_TRANSIENT);
        return *this;
    }
    int Step() { return sqlite3_step(stmt_); }
    int64_t Int(int col) { return sqlite3_column_int64(stmt_, col); }
    std::string Text(int col) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return text ? std::string(text, sqlite3_column_bytes(stmt_, col)) : std::string();
    }
    std::vector<BYTE> Blob(int col) {
        const auto* blob = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, col));
        return blob ? std::vector<BYTE>(blob, blob + sqlite3_column_bytes(stmt_, col))
                    : std::vector<BYTE>();
    }

  private:
    sqlite3_stmt* stmt_;
};

std::shared_ptr<Hive> Hive::Get(const std::string& path, bool create, LONG* error) {
    *error = ERROR_SUCCESS;
    return HiveCache::Instance().Get(path, create, error);
}

Hive::~Hive() {
    for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
    if (db_) sqlite3_close_v2(db_);
}

namespace {

// A new hive is built under a private name beside its place and linked into
// place whole, so a hive file is never empty: an empty "registry.db" is a
// damaged one (truncated, or left by a crash of an older writer), not a hive
// to begin anew. Two processes making the hive at once both build one; the
// first link wins and the other opens the winner's.
LONG MakeHive(const std::string& path) {
    const std::filesystem::path place(path);
    if (place.has_parent_path() && !orb::MakePrivateDirectories(place.parent_path().string()))
        return ERROR_PATH_NOT_FOUND;
    const std::string aside = orb::BuildingName(path);
    if (!orb::CreatePrivateFile(aside)) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(aside.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc == SQLITE_OK) {
        sqlite3_busy_timeout(db, kBusyTimeoutMs);
        rc = sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK) rc = sqlite3_exec(db, kSchema, nullptr, nullptr, nullptr);
    sqlite3_close_v2(db);  // the last connection: the WAL is folded in and removed
    LONG result = Win32Code(rc);
    if (result != ERROR_SUCCESS) {
        orb::RemoveBuilding(aside);
        return result;
    }
    const int placed = orb::PlaceBuiltFile(aside, path);
    if (placed != 0 && placed != EEXIST)
        result = placed == EACCES ? ERROR_ACCESS_DENIED : ERROR_CANTWRITE;
    return result;
}

}  // namespace

LONG Hive::Open(const std::string& path, bool create) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (!create) return ERROR_FILE_NOT_FOUND;
        const LONG made = MakeHive(path);
        if (made != ERROR_SUCCESS) return made;
    } else if (S_ISREG(st.st_mode) && st.st_size == 0) {
        return ERROR_BADDB;  // left as it is, see MakeHive
    }
    int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    if (rc != SQLITE_OK && !create) {
        // A hive we may not write can still be read.
        sqlite3_close_v2(db_);
        db_ = nullptr;
        rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    }
    if (rc != SQLITE_OK) return Win32Code(rc);
    // Before anything else: even the journal-mode pragma can meet a lock.
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    sqlite3_extended_result_codes(db_, 1);
    // SQLite quietly opens a write-protected file read-only.
    readOnly_ = sqlite3_db_readonly(db_, "main") == 1;
    if (readOnly_) {
        rc = sqlite3_exec(db_, "SELECT count(*) FROM keys", nullptr, nullptr, nullptr);
        return Win32Code(rc);
    }
    // Two processes opening a new hive at once both switch it to WAL; the switch
    // upgrades a read lock, and SQLite answers BUSY at once there instead of
    // waiting (it would deadlock), so the switch is retried, boundedly.
    for (int attempt = 0;; ++attempt) {
        rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL", nullptr,
                          nullptr, nullptr);
        if (!IsBusy(rc) || attempt == kOpenRetries) break;
        sqlite3_sleep(kOpenRetryPauseMs);
    }
    if (rc != SQLITE_OK) return Win32Code(rc);
    return Write([this] { return Fail(sqlite3_exec(db_, kSchema, nullptr, nullptr, nullptr)); });
}

LONG Hive::Fail(int rc) {
    lastRc_ = rc;
    if ((rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB) damaged_ = true;
    return Win32Code(rc);
}

LONG Hive::Check() {
    return Read([this]() -> LONG {
        Statement q(*this, "PRAGMA quick_check");
        if (!q.ok()) return Fail(lastRc_);
        const int rc = q.Step();
        if (rc != SQLITE_ROW) return Fail(rc);
        if (q.Text(0) == "ok") return ERROR_SUCCESS;
        damaged_ = true;
        return ERROR_BADDB;
    });
}

sqlite3_stmt* Hive::Prepare(const char* sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    lastRc_ = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (lastRc_ != SQLITE_OK) return nullptr;
    statements_[sql] = stmt;
    return stmt;
}

int Hive::Run(const char* sql) {
    Statement q(*this, sql);
    if (!q.ok()) return lastRc_;
    const int rc = q.Step();
    return rc == SQLITE_DONE ? SQLITE_OK : rc;
}

LONG Hive::Read(const std::function<LONG()>& body) { return Transact("BEGIN", body); }

LONG Hive::Write(const std::function<LONG()>& body) {
    if (readOnly_) return ERROR_ACCESS_DENIED;
    return Transact("BEGIN IMMEDIATE", body);
}

LONG Hive::Transact(const char* begin, const std::function<LONG()>& body) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (damaged_) return ERROR_BADDB;
    LONG result = ERROR_REGISTRY_IO_FAILED;
    for (int attempt = 0; attempt < kBusyAttempts; ++attempt) {
        lastRc_ = Run(begin);
        if (lastRc_ != SQLITE_OK) {
            result = Fail(lastRc_);
            if (IsBusy(lastRc_)) continue;
            return result;
        }
        try {
            result = body();
        } catch (...) {
            // Left open, the transaction would make every later BEGIN fail.
            Run("ROLLBACK");
            throw;
        }
        if (result == ERROR_SUCCESS) {
            lastRc_ = Run("COMMIT");
            if (lastRc_ == SQLITE_OK) return ERROR_SUCCESS;
            result = Fail(lastRc_);
        }
        const int failure = lastRc_;
        Run("ROLLBACK");
        if (!IsBusy(failure)) return result;
    }
    return result;
}

LONG Hive::KeyExists(int64_t id) {
    if (id == kRootKey) return ERROR_SUCCESS;
    Statement q(*this, "SELECT 1 FROM keys WHERE id=?");
    if (!q.ok()) return Fail(lastRc_);
    int rc = q.Bind(1, id).Step();
    if (rc == SQLITE_ROW) return ERROR_SUCCESS;
    return rc == SQLITE_DONE ? ERROR_KEY_DELETED : Fail(rc);
}

LONG Hive::FindChild(int64_t parent, std::string_view name, int64_t* id, std::string* stored) {
    Statement q(*this, "SELECT id, name FROM keys WHERE parent=? AND folded=?");
    if (!q.ok()) return Fail(lastRc_);
    int rc = q.Bind(1, parent).Bind(2, Fold(name)).Step();
    if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return Fail(rc);
    *id = q.Int(0);
    if (stored) *stored = q.Text(1);
    return ERROR_SUCCESS;
}

LONG Hive::AddChild(int64_t parent, std::string_view name, int64_t* id) {
    Statement q(*this, "INSERT INTO keys(parent, name, folded) VALUES(?, ?, ?)");
    if (!q.ok()) return Fail(lastRc_);
    int rc = q.Bind(1, parent).Bind(2, name).Bind(3, Fold(name)).Step();
    if (rc != SQLITE_DONE) return Fail(rc);
    *id = sqlite3_last_insert_rowid(db_);
    return ERROR_SUCCESS;
}

LONG Hive::DeleteTree(int64_t id) {
    static const char* const kValues =
        "WITH RECURSIVE tree(id) AS (VALUES(?) UNION ALL "
        "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
        "DELETE FROM vals WHERE key IN tree";
    static const char* const kKeys =
        "WITH RECURSIVE tree(id) AS (VALUES(?) UNION ALL "
        "SELECT keys.id FROM keys JOIN tree ON keys.parent = tree.id) "
        "DELETE FROM keys WHERE id IN tree";
    for (const char* sql : {kValues, kKeys}) {
        Statement q(*this, sql);
        if (!q.ok()) return Fail(lastRc_);
        int rc = q.Bind(1, id).Step();
        if (rc != SQLITE_DONE) return Fail(rc);
    }
    return ERROR_SUCCESS;
}

LONG Hive::ChildAt(int64_t parent, DWORD index, std::string* name) {
    // Subkeys enumerate in name order, as Windows lists them.
    Statement q(*this, "SELECT name FROM keys WHERE parent=? ORDER BY folded LIMIT 1 OFFSET ?");
    if (!q.ok()) return Fail(lastRc_);
    int rc = q.Bind(1, parent).Bind(2, static_cast<int64_t>(index)).Step();
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return Fail(rc);
    *name = q.Text(0);
    return ERROR_SUCCESS;
}

LONG Hive::GetValue(int64_t key, std::string_view name, ValueRow* row) {
    Statement q(*this, "SELECT name, type, data FROM vals WHERE key=? AND folded=?");
    if (!q.ok()) return Fail(lastRc_);
    int rc = q.Bind(1, key).Bind(2, Fold(name)).Step();
    if (rc == SQLITE_DONE) return ERROR_FILE_NOT_FOUND;
    if (rc != SQLITE_ROW) return Fail(rc);
    row->name = q.Text(0);
    row->type = static_cast<DWORD>(q.Int(1));
    row->data = q.Blob(2);
    return ERROR_SUCCESS;
}

LONG Hive::PutValue(int64_t key, std::string_view name, DWORD type, const BYTE* data, size_t size) {
    // An existing value keeps its name's spelling and its place in the
    // enumeration order.
    Statement q(*this,
                "INSERT INTO vals(key, name, folded, type, data) VALUES(?, ?, ?, ?, ?) "
                "ON CONFLICT(key, folded) DO UPDATE SET type=excluded.type, data=excluded.data");
    if (!q.ok()) return Fail(lastRc_);
    int rc = q.Bind(1, key)
                 .Bind(2, name)
                 .Bind(3, Fold(name))
                 .Bind(4, int64_t{type})
                 .BindBlob(5, data, size)
                 .Step();
    return rc == SQLITE_DONE ? ERROR_SUCCESS : Fail(rc);
}

LONG Hive::DeleteValue(int64_t key, std::string_view name) {
    Statement q(*this, "DELETE FROM vals WHERE key=? AND folded=?");
    if (!q.ok()) return Fail(lastRc_);
    int rc = q.Bind(1, key).Bind(2, Fold(name)).Step();
    if (rc != SQLITE_DONE) return Fail(rc);
    return sqlite3_changes(db_) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG Hive::Children(int64_t parent, std::vector<std::string>* names) {
    Statement q(*this, "SELECT name FROM keys WHERE parent=? ORDER BY folded");
    if (!q.ok()) return Fail(lastRc_);
    q.Bind(1, parent);
    names->clear();
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) names->push_back(q.Text(0));
    return rc == SQLITE_DONE ? ERROR_SUCCESS : Fail(rc);
}

LONG Hive::Values(int64_t key, std::vector<ValueRow>* rows) {
    Statement q(*this, "SELECT name, type, data FROM vals WHERE key=? ORDER BY rowid");
    if (!q.ok()) return Fail(lastRc_);
    q.Bind(1, key);
    rows->clear();
    int rc;
    while ((rc = q.Step()) == SQLITE_ROW) {
        rows->push_back(ValueRow{q.Text(0), static_cast<DWORD>(q.Int(1)), q.Blob(2)});
    }
    return rc == SQLITE_DONE ? ERROR_SUCCESS : Fail(rc);
}

LONG Hive::ValueAt(int64_t key, DWORD index, ValueRow* row) {
    // Values enumerate in the order they were first set.
    Statement q(*this,
                "SELECT name, type, data FROM vals WHERE key=? ORDER BY rowid LIMIT 1 OFFSET ?");
    if (!q.ok()) return Fail(lastRc_);
    int rc = q.Bind(1, key).Bind(2, static_cast<int64_t>(index)).Step();
    if (rc == SQLITE_DONE) return ERROR_NO_MORE_ITEMS;
    if (rc != SQLITE_ROW) return Fail(rc);
    row->name = q.Text(0);
    row->type = static_cast<DWORD>(q.Int(1));
    row->data = q.Blob(2);
    return ERROR_SUCCESS;
}

}  // namespace orb::reg
