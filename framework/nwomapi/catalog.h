// The classes a repository declares, as read from its catalog tables: one
// table per class, one row per object, one typed column per property, and
// indexes on every UUID property ("uuid" and the link columns such as
// "parent_uuid" and "child_uuid") and on "name" (statements.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "framework/nwomapi/value.h"

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

class Catalog {
public:
    // The rows of kCatalogSql: class, property (null for a class without
    // any), type.
    void Load(const Selection& rows);
    const ClassDef* Find(const std::string& cls) const;
    const std::map<std::string, ClassDef>& classes() const { return classes_; }
    // The column types kCatalogSql reads.
    static const std::shared_ptr<const Columns>& SqlColumns();

private:
    std::map<std::string, ClassDef> classes_;
};

}  // namespace orbom
