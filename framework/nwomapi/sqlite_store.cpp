#include "framework/nwomapi/sqlite_store.h"

#include <atomic>
#include <cstring>

#include "platform/privatefs.h"
#include "platform/sync.h"

namespace orbom {

namespace {

std::atomic<uint64_t> statements{0};

int32_t Int32Of(const std::string& bytes) {
    int32_t v = 0;
    std::memcpy(&v, bytes.data(), sizeof v);
    return v;
}

void BindValue(sqlite3_stmt* stmt, int index, const Value& value) {
    if (value.null) {
        sqlite3_bind_null(stmt, index);
        return;
    }
    const std::string& b = value.bytes;
    switch (value.type) {
        case ORBOM_TYPE_INTEGER:
        case ORBOM_TYPE_BOOLEAN:
            sqlite3_bind_int(stmt, index, Int32Of(b));
            break;
        case ORBOM_TYPE_DOUBLE: {
            double d = 0;
            std::memcpy(&d, b.data(), sizeof d);
            sqlite3_bind_double(stmt, index, d);
            break;
        }
        case ORBOM_TYPE_CHAR:
            sqlite3_bind_int(stmt, index, static_cast<unsigned char>(b[0]));
            break;
        case ORBOM_TYPE_STRING:
        case ORBOM_TYPE_DATETIME:
            sqlite3_bind_text(stmt, index, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
        default:
            sqlite3_bind_blob(stmt, index, b.data(), static_cast<int>(b.size()), SQLITE_TRANSIENT);
            break;
    }
}

// Appends a column's value in the client's layout to the rows.
void AppendColumn(sqlite3_stmt* stmt, int column, uint32_t type, Selection* rows) {
    if (sqlite3_column_type(stmt, column) == SQLITE_NULL) {
        rows->Append(nullptr, 0);
        return;
    }
    switch (type) {
        case ORBOM_TYPE_INTEGER:
        case ORBOM_TYPE_BOOLEAN: {
            const int32_t i = sqlite3_column_int(stmt, column);
            rows->Append(&i, sizeof i);
            break;
        }
        case ORBOM_TYPE_DOUBLE: {
            const double d = sqlite3_column_double(stmt, column);
            rows->Append(&d, sizeof d);
            break;
        }
        case ORBOM_TYPE_CHAR: {
            const char c = static_cast<char>(sqlite3_column_int(stmt, column));
            rows->Append(&c, 1);
            break;
        }
        case ORBOM_TYPE_STRING:
        case ORBOM_TYPE_DATETIME: {
            const auto* text = sqlite3_column_text(stmt, column);
            rows->Append(text ? static_cast<const void*>(text) : "",
                         text ? sqlite3_column_bytes(stmt, column) : 0);
            break;
        }
        default: {
            const void* blob = sqlite3_column_blob(stmt, column);
            rows->Append(blob ? blob : "", blob ? sqlite3_column_bytes(stmt, column) : 0);
            break;
        }
    }
}

}  // namespace

ORBOM_RC SqliteStore::Open(const std::string& path) {
    ORBOM_RC rc = db_.Open(path, false);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    rc = CheckFormat();  // not a repository file: 7
    if (rc != ORBOM_RC_SUCCESS) return rc;
    // A damaged file is refused before anything is written to it: damage in
    // pages an operation never reads would otherwise go unseen while the
    // operation reports success (a deletion, say, that leaves half the
    // repository's links behind).
    rc = db_.CheckPages();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    return Reload();
}

ORBOM_RC SqliteStore::Create(const std::string& path, std::string_view frameworkClasses) {
    // Built aside and linked into place whole, as the registry's hive is: a
    // creation that fails half way (a full disk) leaves no file that the
    // machine would list as a repository, and make its default, while it
    // holds no tables. Of two processes creating one at once, the first
    // link wins and the other answers 65.
    const std::string building = orb::BuildingName(path);
    ORBOM_RC rc = db_.Open(building, true);
    if (rc == ORBOM_RC_SUCCESS) rc = Initialize(frameworkClasses);
    db_.Close();  // the last connection folds the WAL into the file
    if (rc != ORBOM_RC_SUCCESS) {
        orb::RemoveBuilding(building);
        return rc;
    }
    const int placed = orb::PlaceBuiltFile(building, path);
    if (placed == EEXIST) return ORBOM_RC_NAME_IS_NOT_UNIQUE;
    if (placed != 0) {
        db_.SetNativeError(SQLITE_CANTOPEN, "cannot put the new repository in place as " + path +
                                                ": " + std::strerror(placed));
        return ORBOM_RC_REPOSITORY_NATIVE_ERROR;
    }
    return ORBOM_RC_SUCCESS;
}

bool SqliteStore::EnableCache(size_t capBytes) {
    dataVersion_ = db_.DataVersion();
    return dataVersion_ >= 0 && Store::EnableCache(capBytes);
}

ORBOM_RC SqliteStore::BeginUnit() {
    checkedInUnit_ = false;
    return db_.BeginWork();
}

ORBOM_RC SqliteStore::Freshen() {
    if (db_.InWork()) {
        if (checkedInUnit_) return ORBOM_RC_SUCCESS;
        checkedInUnit_ = true;
    } else {
        const uint64_t nowMs = orb::CurrentClock().NowMs();
        if (nowMs == checkedMs_ && dataVersion_ >= 0) return ORBOM_RC_SUCCESS;
        checkedMs_ = nowMs;
    }
    // The file says that something changed, not what: every class is
    // dropped, and a directory dropped so before it paid for itself is not
    // loaded again (two processes writing at once would reload it each time).
    const int64_t now = db_.DataVersion();
    if (now < 0 || now != dataVersion_) cache_->DropAll();
    dataVersion_ = now;
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC SqliteStore::CachedQuery(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                                  Selection* out) {
    // The rows are never older than the version the cache holds.
    Freshen();
    return Query(sql, columns, out);
}

uint64_t SqliteStore::Statements() { return statements.load(); }

sqlite3_stmt* SqliteStore::Bound(const Sql& sql) {
    ++statements;
    sqlite3_stmt* stmt = db_.Prepare(sql.text);
    if (!stmt) return nullptr;
    for (size_t i = 0; i < sql.binds.size(); ++i) {
        BindValue(stmt, static_cast<int>(i + 1), *sql.binds[i]);
    }
    return stmt;
}

ORBOM_RC SqliteStore::Query(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                            Selection* out) {
    *out = Selection();
    out->columns = columns;
    sqlite3_stmt* stmt = Bound(sql);
    if (!stmt) return db_.LastFailure();
    StatementUse use(stmt);
    const std::vector<uint32_t>& types = columns->types;
    int step;
    while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (size_t i = 0; i < types.size(); ++i) {
            AppendColumn(stmt, static_cast<int>(i), types[i], out);
        }
        ++out->count;
        if (!out->Fits()) {
            *out = Selection();
            return ORBOM_RC_OUT_OF_MEMORY;
        }
    }
    if (step != SQLITE_DONE) {
        *out = Selection();
        return db_.Fail(step);
    }
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC SqliteStore::Write(const std::vector<Sql>& statements, uint32_t* count) {
    Transaction tx(db_);
    ORBOM_RC rc = tx.Begin();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    for (const Sql& sql : statements) {
        sqlite3_stmt* stmt = Bound(sql);
        if (!stmt) return db_.LastFailure();
        StatementUse use(stmt);
        const int step = sqlite3_step(stmt);
        if (step != SQLITE_DONE) return db_.Fail(step);
    }
    if (count) *count = static_cast<uint32_t>(sqlite3_changes(db_.handle()));
    return tx.Commit();
}

}  // namespace orbom
