// The SQL text of the repository's statements, for every backend: one
// builder per statement kind, with the few places where the dialects differ
// (parameter markers, column types, the row id, identifier length) behind
// Dialect. Markers are numbered, so that a value used twice in a statement
// is bound once.
#pragma once

#include <string>
#include <vector>

#include "framework/nwomapi/value.h"

namespace orbom {

struct NamedValue {
    std::string name;
    Value value;
};

struct PropertyDef;

// The class whose objects link a parent object to a child object.
inline constexpr const char* kLinkClass = "Inclusion";

enum class Backend { Sqlite, Postgres };

struct Dialect {
    Backend backend;

    // The marker of the n-th bound value (from 1).
    std::string Marker(size_t n) const;
    // Column declaration of a value type.
    const char* ColumnType(uint32_t type) const;
    // The type of byte strings in the catalog's own tables.
    const char* BlobType() const { return backend == Backend::Sqlite ? "BLOB" : "bytea"; }
};

const Dialect& SqliteDialect();
const Dialect& PostgresDialect();

// A statement and the values bound to its markers, in marker order. The
// values belong to the caller and must outlive the statement's use.
struct Sql {
    std::string text;
    std::vector<const Value*> binds;
};

// The catalog's own tables, one statement each. "format" in orb_meta marks a
// repository whose creation finished.
std::vector<std::string> CatalogSchemaSql(const Dialect& d);
// Every class with its properties in declaration order; a class without
// properties gives one row with nulls. Columns: class, property, type.
extern const char* const kCatalogSql;

// Equality on each criterion (a null criterion asks for a null property),
// appended to sql->text and sql->binds.
void AppendWhere(const Dialect& d, const std::vector<NamedValue>& criteria, Sql* sql);
// The later of two values for one property wins, as callers expect when they
// set a property twice before saving.
std::vector<const NamedValue*> LastOfEach(const std::vector<NamedValue>& values);

// SELECT of the named columns (none: the row id only, so that a class
// without properties still counts its objects).
Sql SelectSql(const Dialect& d, const std::string& cls, const std::vector<std::string>& columns,
              const std::vector<NamedValue>& criteria);
Sql InsertSql(const Dialect& d, const std::string& cls, const std::vector<NamedValue>& values);
Sql UpdateSql(const Dialect& d, const std::string& cls, const std::vector<NamedValue>& values,
              const std::vector<NamedValue>& criteria);
Sql DeleteSql(const Dialect& d, const std::string& cls, const std::vector<NamedValue>& criteria);
// Deletes the links (objects of linkClass) whose parent or child is an object
// of cls matching criteria; clsValue holds cls as a string value.
Sql LinksOfSql(const Dialect& d, const std::string& cls, const Value& clsValue,
               const std::vector<NamedValue>& criteria);

// Statements that create a class, add a property to it, and index a property
// where lookups need it (empty when none is needed).
std::string CreateTableSql(const Dialect& d, const std::string& cls);
std::string AddColumnSql(const Dialect& d, const std::string& cls, const PropertyDef& property);
std::string CreateIndexSql(const Dialect& d, const std::string& cls, const PropertyDef& property);
// The statement that makes writes to a class's table signal its change
// (PostgreSQL, once the repository has its change signals: pg_store.h);
// empty when the backend needs none.
std::string ChangeSignalSql(const Dialect& d, const std::string& cls);

}  // namespace orbom
