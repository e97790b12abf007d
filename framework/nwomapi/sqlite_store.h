// The embedded repository: one SQLite file (database.h), its writes each one
// BEGIN IMMEDIATE transaction or a savepoint inside a unit of work.
#pragma once

#include <string>
#include <string_view>

#include "framework/nwomapi/database.h"
#include "framework/nwomapi/store.h"

namespace orbom {

class SqliteStore : public Store {
  public:
    SqliteStore() : Store(SqliteDialect()) {}

    // Opens an existing repository (7 when there is none at path, or when
    // its file is damaged: every page is checked first).
    ORBOM_RC Open(const std::string& path);
    // Makes a new repository at path and imports the framework's classes into
    // it; 65 when a finished repository is there already.
    ORBOM_RC Create(const std::string& path, std::string_view frameworkClasses);

    int nativeCode() const override { return db_.nativeCode(); }
    // Statements this process ran on SQLite repositories.
    static uint64_t Statements();
    const std::string& nativeMessage() const override { return db_.nativeMessage(); }

  protected:
    ORBOM_RC Query(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                   Selection* out) override;
    ORBOM_RC Write(const std::vector<Sql>& statements, uint32_t* count) override;
    ORBOM_RC Exec(const std::string& sql) override { return db_.Exec(sql); }
    ORBOM_RC BeginWrite() override { return db_.Begin(); }
    ORBOM_RC CommitWrite() override { return db_.Commit(); }
    void RollbackWrite() override { db_.Rollback(); }
    ORBOM_RC CommitUnit() override { return db_.CommitWork(); }
    ORBOM_RC RollbackUnit() override { return db_.RollbackWork(); }
    void SetNativeError(int code, const std::string& message) override {
        db_.SetNativeError(code, message);
    }
    // Another connection's commit (the file's data version moved) empties
    // the cache. Inside a unit, which holds the write lock, the check is made
    // once, after the lock: exact until the unit ends, as nothing else can
    // commit. Outside units it is made at most once per millisecond of the
    // clock: reading the version starts a read transaction, which costs as
    // much as the select it would spare (file locks and a stat of the file,
    // 15 us on a virtual machine), so a commit of another process may be
    // missed for up to 2 ms.
    bool EnableCache(size_t capBytes) override;
    ORBOM_RC BeginUnit() override;
    ORBOM_RC Freshen() override;
    ORBOM_RC CachedQuery(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                         Selection* out) override;

  private:
    // The cached statement for sql with its values bound; null after a
    // failure (recorded as the native error).
    sqlite3_stmt* Bound(const Sql& sql);

    Database db_;
    int64_t dataVersion_ = -1;  // as the cache last saw it
    uint64_t checkedMs_ = 0;    // when, outside a unit
    bool checkedInUnit_ = false;
};

}  // namespace orbom
