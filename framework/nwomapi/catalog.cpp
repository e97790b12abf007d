#include "framework/nwomapi/catalog.h"

namespace orbom {

int ClassDef::Find(const std::string& property) const {
    for (size_t i = 0; i < properties.size(); ++i) {
        if (properties[i].name == property) return static_cast<int>(i);
    }
    return -1;
}

void Catalog::Load(const Selection& rows) {
    std::map<std::string, ClassDef> loaded;
    for (size_t row = 0; row < rows.count; ++row) {
        const std::string cls = rows.Bytes(row, 0);
        ClassDef& def = loaded[cls];
        def.name = cls;
        if (rows.At(row, 1).null) continue;
        PropertyDef p;
        p.name = rows.Bytes(row, 1);
        p.type = static_cast<uint32_t>(rows.Integer(row, 2));
        def.properties.push_back(std::move(p));
    }
    classes_ = std::move(loaded);
}

const ClassDef* Catalog::Find(const std::string& cls) const {
    auto it = classes_.find(cls);
    return it == classes_.end() ? nullptr : &it->second;
}

const std::shared_ptr<const Columns>& Catalog::SqlColumns() {
    static const std::shared_ptr<const Columns> columns = std::make_shared<Columns>(
        Columns{{"class", "property", "type"},
                {ORBOM_TYPE_STRING, ORBOM_TYPE_STRING, ORBOM_TYPE_INTEGER}});
    return columns;
}

}  // namespace orbom
