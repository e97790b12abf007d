#include "framework/nwomapi/catalog.h"

#include "framework/nwomapi/names.h"
#include "framework/nwomapi/value.h"

namespace orbom {

const char* const kCatalogSchema =
    "CREATE TABLE IF NOT EXISTS orb_meta(key TEXT PRIMARY KEY, value TEXT);"
    "CREATE TABLE IF NOT EXISTS orb_class(name TEXT PRIMARY KEY);"
    "CREATE TABLE IF NOT EXISTS orb_property(class TEXT NOT NULL, name TEXT NOT NULL,"
    " type INTEGER NOT NULL, position INTEGER NOT NULL, PRIMARY KEY(class, name));"
    "CREATE TABLE IF NOT EXISTS orb_account(user TEXT PRIMARY KEY, salt BLOB NOT NULL,"
    " hash BLOB NOT NULL, iterations INTEGER NOT NULL);";

int ClassDef::Find(const std::string& property) const {
    for (size_t i = 0; i < properties.size(); ++i) {
        if (properties[i].name == property) return static_cast<int>(i);
    }
    return -1;
}

ORBOM_RC Catalog::Load(Database& db) {
    std::map<std::string, ClassDef> loaded;
    sqlite3_stmt* classes = db.Prepare("SELECT name FROM orb_class");
    if (!classes) return db.LastFailure();
    StatementUse useClasses(classes);
    int rc;
    while ((rc = sqlite3_step(classes)) == SQLITE_ROW) {
        const auto* name = reinterpret_cast<const char*>(sqlite3_column_text(classes, 0));
        loaded[name].name = name;
    }
    if (rc != SQLITE_DONE) return db.Fail(rc);

    sqlite3_stmt* props =
        db.Prepare("SELECT class, name, type FROM orb_property ORDER BY class, position");
    if (!props) return db.LastFailure();
    StatementUse useProps(props);
    while ((rc = sqlite3_step(props)) == SQLITE_ROW) {
        const auto* cls = reinterpret_cast<const char*>(sqlite3_column_text(props, 0));
        auto it = loaded.find(cls);
        if (it == loaded.end()) continue;
        PropertyDef p;
        p.name = reinterpret_cast<const char*>(sqlite3_column_text(props, 1));
        p.type = static_cast<uint32_t>(sqlite3_column_int(props, 2));
        it->second.properties.push_back(std::move(p));
    }
    if (rc != SQLITE_DONE) return db.Fail(rc);
    classes_ = std::move(loaded);
    return ORBOM_RC_SUCCESS;
}

const ClassDef* Catalog::Find(const std::string& cls) const {
    auto it = classes_.find(cls);
    return it == classes_.end() ? nullptr : &it->second;
}

std::string CreateTableSql(const std::string& cls) {
    // The row id alone; properties arrive as added columns, so a class made
    // in one import and grown in the next takes the same path.
    return "CREATE TABLE " + TableName(cls) + "(oid INTEGER PRIMARY KEY)";
}

std::string AddColumnSql(const std::string& cls, const PropertyDef& property) {
    return "ALTER TABLE " + TableName(cls) + " ADD COLUMN " + ColumnName(property.name) + " " +
           ColumnDeclaration(property.type);
}

std::string CreateIndexSql(const std::string& cls, const PropertyDef& property) {
    // UUIDs tie objects together; "name" is how consoles and discovery find a
    // machine. Both are looked up once per object, so a scan would make every
    // pass quadratic in the repository's size.
    if (property.type != ORBOM_TYPE_UUID && property.name != "name") return "";
    return "CREATE INDEX IF NOT EXISTS \"i." + cls + "." + property.name + "\" ON " +
           TableName(cls) + "(" + ColumnName(property.name) + ")";
}

}  // namespace orbom
