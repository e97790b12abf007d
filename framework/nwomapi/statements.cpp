#include "framework/nwomapi/statements.h"

#include "framework/nwomapi/catalog.h"
#include "framework/nwomapi/names.h"

namespace orbom {

namespace {

// PostgreSQL keeps 63 bytes of a name and drops the rest, so that two long
// index names could become one.
constexpr size_t kPostgresNameBytes = 63;

std::string Mark(const Dialect& d, const Value* value, Sql* sql) {
    sql->binds.push_back(value);
    return d.Marker(sql->binds.size());
}

// FNV-1a, for a short stand-in of a name too long for the database.
std::string ShortHash(const std::string& text) {
    uint32_t h = 2166136261u;
    for (unsigned char c : text) h = (h ^ c) * 16777619u;
    char out[9];
    static const char* const kHex = "0123456789abcdef";
    for (int i = 7; i >= 0; --i, h >>= 4) out[i] = kHex[h & 15];
    out[8] = '\0';
    return out;
}

}  // namespace

std::string Dialect::Marker(size_t n) const {
    return (backend == Backend::Sqlite ? "?" : "$") + std::to_string(n);
}

const char* Dialect::ColumnType(uint32_t type) const {
    const bool lite = backend == Backend::Sqlite;
    // SQLite keeps characters as integers (a byte may be zero or not valid
    // text); PostgreSQL's smallint does the same.
    switch (type) {
        case ORBOM_TYPE_STRING:
        case ORBOM_TYPE_DATETIME:
            return lite ? "TEXT" : "text";
        case ORBOM_TYPE_INTEGER:
            return lite ? "INTEGER" : "integer";
        case ORBOM_TYPE_DOUBLE:
            return lite ? "REAL" : "double precision";
        case ORBOM_TYPE_UUID:
            return lite ? "BLOB" : "uuid";
        case ORBOM_TYPE_BOOLEAN:
            return lite ? "INTEGER" : "boolean";
        case ORBOM_TYPE_CHAR:
            return lite ? "INTEGER" : "smallint";
        default:
            return lite ? "BLOB" : "bytea";
    }
}

const Dialect& SqliteDialect() {
    static const Dialect d{Backend::Sqlite};
    return d;
}

const Dialect& PostgresDialect() {
    static const Dialect d{Backend::Postgres};
    return d;
}

std::vector<std::string> CatalogSchemaSql(const Dialect& d) {
    const std::string blob = d.BlobType();
    return {
        "CREATE TABLE IF NOT EXISTS orb_meta(key TEXT PRIMARY KEY, value TEXT)",
        "CREATE TABLE IF NOT EXISTS orb_class(name TEXT PRIMARY KEY)",
        "CREATE TABLE IF NOT EXISTS orb_property(class TEXT NOT NULL, name TEXT NOT NULL,"
        " type INTEGER NOT NULL, position INTEGER NOT NULL, PRIMARY KEY(class, name))",
        "CREATE TABLE IF NOT EXISTS orb_account(\"user\" TEXT PRIMARY KEY, salt " + blob +
            " NOT NULL, hash " + blob + " NOT NULL, iterations INTEGER NOT NULL)",
    };
}

const char* const kCatalogSql =
    "SELECT c.name, p.name, p.type FROM orb_class c LEFT JOIN orb_property p ON p.class = c.name"
    " ORDER BY c.name, p.position";

void AppendWhere(const Dialect& d, const std::vector<NamedValue>& criteria, Sql* sql) {
    bool first = true;
    for (const NamedValue& c : criteria) {
        sql->text += first ? " WHERE " : " AND ";
        first = false;
        if (c.value.null) {
            sql->text += ColumnName(c.name) + " IS NULL";
        } else {
            sql->text += ColumnName(c.name) + "=" + Mark(d, &c.value, sql);
        }
    }
}

std::vector<const NamedValue*> LastOfEach(const std::vector<NamedValue>& values) {
    std::vector<const NamedValue*> out;
    for (const NamedValue& v : values) {
        bool replaced = false;
        for (const NamedValue*& kept : out) {
            if (kept->name == v.name) {
                kept = &v;
                replaced = true;
            }
        }
        if (!replaced) out.push_back(&v);
    }
    return out;
}

Sql SelectSql(const Dialect& d, const std::string& cls, const std::vector<std::string>& columns,
              const std::vector<NamedValue>& criteria) {
    Sql sql;
    sql.text = "SELECT ";
    for (size_t i = 0; i < columns.size(); ++i) {
        sql.text += (i ? "," : "") + ColumnName(columns[i]);
    }
    if (columns.empty()) sql.text += "oid";
    sql.text += " FROM " + TableName(cls);
    AppendWhere(d, criteria, &sql);
    // Objects in the order they were made, as SQLite's row ids give them;
    // PostgreSQL's heap order changes as rows are updated.
    if (d.backend == Backend::Postgres) sql.text += " ORDER BY oid";
    return sql;
}

Sql InsertSql(const Dialect& d, const std::string& cls, const std::vector<NamedValue>& values) {
    const std::vector<const NamedValue*> unique = LastOfEach(values);
    Sql sql;
    sql.text = "INSERT INTO " + TableName(cls);
    if (unique.empty()) {
        sql.text += " DEFAULT VALUES";
        return sql;
    }
    std::string columns, marks;
    for (const NamedValue* v : unique) {
        columns += (columns.empty() ? "" : ",") + ColumnName(v->name);
        marks += (marks.empty() ? "" : ",") + Mark(d, &v->value, &sql);
    }
    sql.text += "(" + columns + ") VALUES(" + marks + ")";
    return sql;
}

Sql UpdateSql(const Dialect& d, const std::string& cls, const std::vector<NamedValue>& values,
              const std::vector<NamedValue>& criteria) {
    Sql sql;
    sql.text = "UPDATE " + TableName(cls) + " SET ";
    bool first = true;
    for (const NamedValue* v : LastOfEach(values)) {
        sql.text += (first ? "" : ",") + ColumnName(v->name) + "=" + Mark(d, &v->value, &sql);
        first = false;
    }
    AppendWhere(d, criteria, &sql);
    return sql;
}

Sql DeleteSql(const Dialect& d, const std::string& cls, const std::vector<NamedValue>& criteria) {
    Sql sql;
    sql.text = "DELETE FROM " + TableName(cls);
    AppendWhere(d, criteria, &sql);
    return sql;
}

Sql LinksOfSql(const Dialect& d, const std::string& cls, const Value& clsValue,
               const std::vector<NamedValue>& criteria) {
    Sql sql;
    const std::string clsMarker = Mark(d, &clsValue, &sql);
    Sql uuids;
    uuids.binds = sql.binds;
    uuids.text = "(SELECT " + ColumnName("uuid") + " FROM " + TableName(cls);
    AppendWhere(d, criteria, &uuids);
    uuids.text += ")";
    sql.binds = uuids.binds;
    sql.text = "DELETE FROM " + TableName(kLinkClass) + " WHERE (" + ColumnName("parent_class") +
               "=" + clsMarker + " AND " + ColumnName("parent_uuid") + " IN " + uuids.text +
               ") OR (" + ColumnName("child_class") + "=" + clsMarker + " AND " +
               ColumnName("child_uuid") + " IN " + uuids.text + ")";
    return sql;
}

std::string CreateTableSql(const Dialect& d, const std::string& cls) {
    // The row id alone; properties arrive as added columns, so a class made
    // in one import and grown in the next takes the same path.
    return "CREATE TABLE " + TableName(cls) +
           (d.backend == Backend::Sqlite
                ? "(oid INTEGER PRIMARY KEY)"
                : "(oid bigint GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY)");
}

std::string AddColumnSql(const Dialect& d, const std::string& cls, const PropertyDef& property) {
    return "ALTER TABLE " + TableName(cls) + " ADD COLUMN " + ColumnName(property.name) + " " +
           d.ColumnType(property.type);
}

std::string CreateIndexSql(const Dialect& d, const std::string& cls, const PropertyDef& property) {
    // UUIDs tie objects together; "name" is how consoles and discovery find a
    // machine. Both are looked up once per object, so a scan would make every
    // pass quadratic in the repository's size.
    if (property.type != ORBOM_TYPE_UUID && property.name != "name") return "";
    std::string name = "i." + cls + "." + property.name;
    if (d.backend == Backend::Postgres && name.size() > kPostgresNameBytes) {
        name = "i." + cls + "." + ShortHash(property.name);
    }
    return "CREATE INDEX IF NOT EXISTS \"" + name + "\" ON " + TableName(cls) + "(" +
           ColumnName(property.name) + ")";
}

std::string ChangeSignalSql(const Dialect& d, const std::string& cls) {
    if (d.backend != Backend::Postgres) return "";
    // Once per statement, not per row: a reader wants to know that the class
    // changed, not how much. The class is an identifier (letters, digits and
    // '_'), so it may stand in the literal.
    return "DO $orb$ BEGIN IF to_regproc('orb_changed') IS NOT NULL THEN"
           " CREATE OR REPLACE TRIGGER orb_changed AFTER INSERT OR UPDATE OR DELETE OR TRUNCATE"
           " ON " +
           TableName(cls) + " FOR EACH STATEMENT EXECUTE FUNCTION orb_changed('" + cls +
           "'); END IF; END $orb$";
}

}  // namespace orbom
