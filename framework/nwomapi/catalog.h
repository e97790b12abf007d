// The classes a repository declares, as read from its catalog tables, and
// the SQL that gives each class its table: one row per object, one typed
// column per property, indexes on every UUID property ("uuid" and the link
// columns such as "parent_uuid" and "child_uuid").
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/nwomapi/database.h"

namespace orbom {

struct PropertyDef {
    std::string name;
    uint32_t type = ORBOM_TYPE_STRING;
};

struct ClassDef {
    std::string name;
    std::vector<PropertyDef> properties;  // declaration order
    // Index into properties, or -1.
    int Find(const std::string& property) const;
};

// The catalog's own tables. "format" in orb_meta marks a repository whose
// creation finished.
extern const char* const kCatalogSchema;

class Catalog {
public:
    ORBOM_RC Load(Database& db);
    const ClassDef* Find(const std::string& cls) const;
    const std::map<std::string, ClassDef>& classes() const { return classes_; }

private:
    std::map<std::string, ClassDef> classes_;
};

// Statements that create a class, add a property to it, and index a property
// where lookups need it (empty when none is needed).
std::string CreateTableSql(const std::string& cls);
std::string AddColumnSql(const std::string& cls, const PropertyDef& property);
std::string CreateIndexSql(const std::string& cls, const PropertyDef& property);

}  // namespace orbom
