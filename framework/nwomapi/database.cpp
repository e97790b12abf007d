#include "framework/nwomapi/database.h"

#include "platform/privatefs.h"

namespace orbom {

namespace {

// Writers queue on the file lock; the measured worst wait under contention
// was well below a second, so five seconds means something is wrong.
constexpr int kBusyTimeoutMs = 5000;
// BEGIN IMMEDIATE attempts before the lock is reported busy.
constexpr int kBeginAttempts = 3;

bool IsBusy(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool IsDamage(int code) {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

ORBOM_RC CodeOf(int sqliteCode) {
    if (IsBusy(sqliteCode)) return ORBOM_RC_REPOSITORY_CONNECTION_BUSY;
    if (IsDamage(sqliteCode)) return ORBOM_RC_REPOSITORY_DAMAGED;
    return ORBOM_RC_REPOSITORY_NATIVE_ERROR;
}

}  // namespace

Database::~Database() { Close(); }

void Database::Close() {
    for (auto& entry : statements_) sqlite3_finalize(entry.second);
    statements_.clear();
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

ORBOM_RC Database::Open(const std::string& path, bool create) {
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    // A new file is made private first; the database's WAL and shared memory
    // files take the mode of the file they belong to.
    if (create && !orb::CreatePrivateFile(path)) {
        SetNativeError(SQLITE_CANTOPEN, "cannot create " + path);
        return ORBOM_RC_INVALID_REPOSITORY;
    }
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        SetNativeError(rc, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return ORBOM_RC_INVALID_REPOSITORY;
    }
    sqlite3_extended_result_codes(db_, 1);
    // The time-out first: two processes opening a fresh file race on the
    // journal-mode switch, and without it one of them fails at once.
    sqlite3_busy_timeout(db_, kBusyTimeoutMs);
    return Exec(
        "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-65536;");
}

sqlite3_stmt* Database::Prepare(const std::string& sql) {
    auto it = statements_.find(sql);
    if (it != statements_.end()) return it->second;
    sqlite3_stmt* stmt = nullptr;
    const int rc = sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()),
                                      SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        Fail(rc);
        return nullptr;
    }
    statements_.emplace(sql, stmt);
    return stmt;
}

ORBOM_RC Database::Exec(const std::string& sql) {
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    return rc == SQLITE_OK ? ORBOM_RC_SUCCESS : Fail(rc);
}

int64_t Database::DataVersion() {
    sqlite3_stmt* stmt = Prepare("PRAGMA data_version");
    if (!stmt) return -1;
    StatementUse use(stmt);
    return sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int64(stmt, 0) : -1;
}

ORBOM_RC Database::CheckPages() {
    sqlite3_stmt* stmt = nullptr;
    int rc = sqlite3_prepare_v2(db_, "PRAGMA quick_check(1)", -1, &stmt, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
    std::string verdict;
    if (rc == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        verdict = text ? text : "";
    }
    sqlite3_finalize(stmt);
    if (rc != SQLITE_ROW) return Fail(rc);
    if (verdict == "ok") return ORBOM_RC_SUCCESS;
    damaged_ = true;
    SetNativeError(SQLITE_CORRUPT, "database disk image is malformed: " + verdict);
    return ORBOM_RC_REPOSITORY_DAMAGED;
}

ORBOM_RC Database::BeginImmediate() {
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < kBeginAttempts; ++attempt) {
        rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (!IsBusy(rc)) break;
    }
    return rc == SQLITE_OK ? ORBOM_RC_SUCCESS : Fail(rc);
}

ORBOM_RC Database::CommitOuter() {
    int rc = SQLITE_OK;
    for (int attempt = 0; attempt < kBeginAttempts; ++attempt) {
        rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
        if (!IsBusy(rc)) break;
    }
    return rc == SQLITE_OK ? ORBOM_RC_SUCCESS : Fail(rc);
}

bool Database::UnitLost() {
    // A failure SQLite answers by rolling back on its own (a full disk, an
    // I/O error) ends the unit; later writes must not go on outside it.
    if (!inWork_ || !sqlite3_get_autocommit(db_)) return false;
    SetNativeError(SQLITE_ABORT, "the unit of work was rolled back");
    return true;
}

ORBOM_RC Database::Begin() {
    if (damaged_) return ORBOM_RC_REPOSITORY_DAMAGED;
    if (UnitLost()) return ORBOM_RC_REPOSITORY_NATIVE_ERROR;
    const ORBOM_RC rc = Nested() ? Exec("SAVEPOINT orb_write") : BeginImmediate();
    if (rc == ORBOM_RC_SUCCESS) ++depth_;
    return rc;
}

ORBOM_RC Database::Commit() {
    if (depth_ == 0) return ORBOM_RC_SUCCESS;
    const bool nested = inWork_ || depth_ > 1;
    const ORBOM_RC rc = nested ? Exec("RELEASE orb_write") : CommitOuter();
    if (rc == ORBOM_RC_SUCCESS) --depth_;
    return rc;
}

void Database::Rollback() {
    if (depth_ == 0) return;
    const bool nested = inWork_ || depth_ > 1;
    --depth_;
    if (!db_ || sqlite3_get_autocommit(db_)) return;
    sqlite3_exec(db_, nested ? "ROLLBACK TO orb_write; RELEASE orb_write" : "ROLLBACK", nullptr,
                 nullptr, nullptr);
}

ORBOM_RC Database::BeginWork() {
    if (inWork_ || depth_ > 0) return ORBOM_RC_SELECT_IN_PROGRESS;
    if (damaged_) return ORBOM_RC_REPOSITORY_DAMAGED;
    const ORBOM_RC rc = BeginImmediate();
    inWork_ = rc == ORBOM_RC_SUCCESS;
    return rc;
}

ORBOM_RC Database::CommitWork() {
    if (!inWork_) return ORBOM_RC_NO_SELECT;
    if (UnitLost()) {
        inWork_ = false;
        return ORBOM_RC_REPOSITORY_NATIVE_ERROR;
    }
    inWork_ = false;
    const ORBOM_RC rc = CommitOuter();
    if (rc != ORBOM_RC_SUCCESS && !sqlite3_get_autocommit(db_)) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    return rc;
}

ORBOM_RC Database::RollbackWork() {
    if (!inWork_) return ORBOM_RC_NO_SELECT;
    inWork_ = false;
    if (!sqlite3_get_autocommit(db_)) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC Database::Fail(int sqliteCode) {
    SetNativeError(sqliteCode, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(sqliteCode));
    if (IsDamage(sqliteCode)) damaged_ = true;
    return CodeOf(sqliteCode);
}

ORBOM_RC Database::LastFailure() const {
    if (damaged_) return ORBOM_RC_REPOSITORY_DAMAGED;
    return nativeCode_ ? CodeOf(nativeCode_) : ORBOM_RC_REPOSITORY_NATIVE_ERROR;
}

void Database::SetNativeError(int code, const std::string& message) {
    nativeCode_ = code;
    nativeMessage_ = message;
}

}  // namespace orbom
