// One SQLite connection to a repository file, set up the way concurrent use
// needs it: busy time-out before any other statement, WAL, and writes that
// take the write lock at BEGIN so that a read-then-write never fails half way.
// Not thread-safe: the owning connection serialises its calls.
#pragma once

#include <sqlite3.h>

#include <string>
#include <unordered_map>

#include "framework/nwomapi/nwomapi.h"

namespace orbom {

class Database {
public:
    Database() = default;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database();

    // create: a missing file is created. Answers 7 when the file is missing
    // (or cannot be opened), 29 when it is not a usable database.
    ORBOM_RC Open(const std::string& path, bool create);
    // Closes the file (the last connection to it folds its WAL in); the
    // native error stays.
    void Close();
    sqlite3* handle() const { return db_; }

    // A prepared statement from the connection's cache, reset and unbound;
    // null after a failure (recorded as the native error).
    sqlite3_stmt* Prepare(const std::string& sql);
    // Runs statements that return no rows; 0 or the code of Fail().
    ORBOM_RC Exec(const std::string& sql);

    // A number that changes whenever another connection (of any process)
    // commits to the file; -1 when it cannot be read. Not counted as a
    // statement: it reads the file's header, not its tables.
    int64_t DataVersion();

    // Every page of the file checked: 0, or 7 when it is damaged (the
    // database's own report kept as the native error).
    ORBOM_RC CheckPages();

    // One write: BEGIN IMMEDIATE, or a savepoint inside a unit of work or
    // another write's transaction, so writes nest.
    ORBOM_RC Begin();
    ORBOM_RC Commit();
    void Rollback();

    // A unit of work spanning several calls: one transaction that holds the
    // write lock from BeginWork to CommitWork or RollbackWork. The writes
    // made in it nest as savepoints, so a failing one undoes only itself.
    // BeginWork while one is open answers 12; the others without one 13.
    ORBOM_RC BeginWork();
    ORBOM_RC CommitWork();
    ORBOM_RC RollbackWork();
    bool InWork() const { return inWork_; }

    // Records SQLite's error and answers the client code for it: 61 when the
    // database stayed locked, 7 when the file is damaged (SQLite found it
    // corrupt or not a database), 29 otherwise.
    ORBOM_RC Fail(int sqliteCode);
    // The client code of the failure recorded last (29 when none was).
    ORBOM_RC LastFailure() const;
    // Once a damaged file was seen, the connection writes nothing more to it:
    // every transaction answers 7 without touching the file.
    bool damaged() const { return damaged_; }
    // Records an error of the client's own (no SQLite code) for the native-error call.
    void SetNativeError(int code, const std::string& message);
    int nativeCode() const { return nativeCode_; }
    const std::string& nativeMessage() const { return nativeMessage_; }

private:
    sqlite3* db_ = nullptr;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
    int nativeCode_ = 0;
    std::string nativeMessage_;
    bool damaged_ = false;
    bool inWork_ = false;
    int depth_ = 0;  // Begin levels open

    bool Nested() const { return inWork_ || depth_ > 0; }
    bool UnitLost();
    ORBOM_RC BeginImmediate();
    ORBOM_RC CommitOuter();
};

// Rolls back on scope exit unless Commit() succeeded.
class Transaction {
public:
    explicit Transaction(Database& db) : db_(db) {}
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (open_) db_.Rollback();
    }
    ORBOM_RC Begin() {
        const ORBOM_RC rc = db_.Begin();
        open_ = rc == ORBOM_RC_SUCCESS;
        return rc;
    }
    ORBOM_RC Commit() {
        const ORBOM_RC rc = db_.Commit();
        if (rc == ORBOM_RC_SUCCESS) open_ = false;
        return rc;
    }

private:
    Database& db_;
    bool open_ = false;
};

// Resets a cached statement when the scope ends, so it never holds a read
// snapshot or stale bindings between calls.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* stmt) : stmt_(stmt) {}
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;
    ~StatementUse() {
        if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }

private:
    sqlite3_stmt* stmt_;
};

}  // namespace orbom
