// Class import: a parsed class-definition file applied in one transaction,
// and the creation of a repository, which is the import of the framework's
// own classes into a fresh catalog.
#include <map>

#include "framework/nwomapi/classfile.h"
#include "framework/nwomapi/names.h"
#include "framework/nwomapi/store.h"

namespace orbom {

namespace {

ORBOM_RC ParseOrFail(std::string_view text, ClassFile* file, ImportError* error) {
    ParseError parseError;
    if (ParseClassFile(text, file, &parseError)) return ORBOM_RC_SUCCESS;
    error->line = parseError.line;
    error->message = parseError.message;
    return ORBOM_RC_OPERATION_FAIL;
}

}  // namespace

class Store::Importer {
public:
    Importer(Store& store, ImportError* error)
        : store_(store), classes_(store.catalog_.classes()), error_(error) {}

    ORBOM_RC Apply(const ClassFile& file) {
        for (const ClassBlock& block : file.classes) {
            const ORBOM_RC rc = ApplyClass(block);
            if (rc != ORBOM_RC_SUCCESS) return rc;
        }
        for (const ObjectBlock& block : file.objects) {
            const ORBOM_RC rc = ApplyObject(block);
            if (rc != ORBOM_RC_SUCCESS) return rc;
        }
        return ORBOM_RC_SUCCESS;
    }

private:
    ORBOM_RC ApplyClass(const ClassBlock& block) {
        for (const auto& entry : classes_) {
            if (entry.first != block.name && SameIgnoringCase(entry.first, block.name)) {
                return Fail(ORBOM_RC_OPERATION_FAIL, block.line,
                            "class \"" + block.name + "\" differs from class \"" + entry.first +
                                "\" only in letter case");
            }
        }
        auto it = classes_.find(block.name);
        if (it == classes_.end()) {
            ORBOM_RC rc = Run(CreateTableSql(store_.dialect_, block.name), block.line);
            const std::string signal = ChangeSignalSql(store_.dialect_, block.name);
            if (rc == ORBOM_RC_SUCCESS && !signal.empty()) rc = Run(signal, block.line);
            if (rc == ORBOM_RC_SUCCESS) rc = Insert("INSERT INTO orb_class(name) VALUES(" + M(1) + ")",
                                                    {block.name}, -1, block.line);
            if (rc != ORBOM_RC_SUCCESS) return rc;
            it = classes_.emplace(block.name, ClassDef{block.name, {}}).first;
        }
        for (const PropertyLine& p : block.properties) {
            const ORBOM_RC rc = ApplyProperty(it->second, p);
            if (rc != ORBOM_RC_SUCCESS) return rc;
        }
        return ORBOM_RC_SUCCESS;
    }

    ORBOM_RC ApplyProperty(ClassDef& def, const PropertyLine& p) {
        for (const PropertyDef& existing : def.properties) {
            if (!SameIgnoringCase(existing.name, p.property.name)) continue;
            if (existing.name != p.property.name) {
                return Fail(ORBOM_RC_OPERATION_FAIL, p.line,
                            "property \"" + p.property.name + "\" differs from \"" +
                                existing.name + "\" only in letter case");
            }
            if (existing.type != p.property.type) {
                return Fail(ORBOM_RC_PROPERTY_EXIST, p.line,
                            "property \"" + def.name + "." + existing.name + "\" is " +
                                TypeName(existing.type) + " in the repository, not " +
                                TypeName(p.property.type));
            }
            // Importing again brings a repository made before an index was
            // wanted up to date.
            const std::string index = CreateIndexSql(store_.dialect_, def.name, existing);
            return index.empty() ? ORBOM_RC_SUCCESS : Run(index, p.line);
        }
        ORBOM_RC rc = Run(AddColumnSql(store_.dialect_, def.name, p.property), p.line);
        const std::string index = CreateIndexSql(store_.dialect_, def.name, p.property);
        if (rc == ORBOM_RC_SUCCESS && !index.empty()) rc = Run(index, p.line);
        if (rc == ORBOM_RC_SUCCESS) {
            rc = Insert("INSERT INTO orb_property(class, name, type, position) VALUES(" + M(1) +
                            "," + M(2) + "," + M(3) + "," + M(4) + ")",
                        {def.name, p.property.name}, static_cast<int>(p.property.type), p.line,
                        static_cast<int>(def.properties.size()));
        }
        if (rc == ORBOM_RC_SUCCESS) def.properties.push_back(p.property);
        return rc;
    }

    // An object block names a required object by its uuid: created only when
    // no object of the class has that uuid, so importing twice adds nothing.
    ORBOM_RC ApplyObject(const ObjectBlock& block) {
        auto it = classes_.find(block.cls);
        if (it == classes_.end()) {
            return Fail(ORBOM_RC_INVALID_CLASS, block.line, "unknown class \"" + block.cls + "\"");
        }
        const ClassDef& def = it->second;
        const int uuidIndex = def.Find("uuid");
        if (uuidIndex < 0 || def.properties[uuidIndex].type != ORBOM_TYPE_UUID) {
            return Fail(ORBOM_RC_OPERATION_FAIL, block.line,
                        "class \"" + def.name + "\" has no uuid property to key the object");
        }
        std::vector<Value> values;
        const Value* uuid = nullptr;
        for (const ValueLine& v : block.values) {
            const int index = def.Find(v.name);
            if (index < 0) {
                return Fail(ORBOM_RC_INVALID_PROPERTY, v.line,
                            "class \"" + def.name + "\" has no property \"" + v.name + "\"");
            }
            Value value;
            std::string message;
            if (!ConvertValue(v.value, def.properties[index].type, &value, &message)) {
                return Fail(ORBOM_RC_OPERATION_FAIL, v.line, v.name + ": " + message);
            }
            values.push_back(std::move(value));
        }
        for (size_t i = 0; i < block.values.size(); ++i) {
            if (block.values[i].name == "uuid") uuid = &values[i];
        }
        if (!uuid) return Fail(ORBOM_RC_OPERATION_FAIL, block.line, "object has no uuid");
        bool exists = false;
        ORBOM_RC rc = Exists(def.name, *uuid, block.line, &exists);
        if (rc != ORBOM_RC_SUCCESS || exists) return rc;
        std::vector<NamedValue> named;
        for (size_t i = 0; i < block.values.size(); ++i) {
            named.push_back({block.values[i].name, std::move(values[i])});
        }
        return Written(store_.Write({InsertSql(store_.dialect_, def.name, named)}, nullptr),
                       block.line);
    }

    ORBOM_RC Exists(const std::string& cls, const Value& uuid, int line, bool* exists) {
        static const std::shared_ptr<const Columns> one =
            std::make_shared<Columns>(Columns{{"one"}, {ORBOM_TYPE_INTEGER}});
        Selection rows;
        const ORBOM_RC rc = store_.Query({"SELECT 1 FROM " + TableName(cls) + " WHERE " +
                                              ColumnName("uuid") + "=" + M(1) + " LIMIT 1",
                                          {&uuid}},
                                         one, &rows);
        if (rc != ORBOM_RC_SUCCESS) return NativeFailure(rc, line);
        *exists = rows.count > 0;
        return ORBOM_RC_SUCCESS;
    }

    ORBOM_RC Insert(const std::string& sql, const std::vector<std::string>& texts, int number,
                    int line, int position = -1) {
        std::vector<Value> values;
        for (const std::string& t : texts) values.push_back(TextValue(t));
        for (int n : {number, position}) {
            if (n >= 0) values.push_back(IntegerValue(n));
        }
        Sql statement{sql, {}};
        for (const Value& v : values) statement.binds.push_back(&v);
        return Written(store_.Write({statement}, nullptr), line);
    }

    std::string M(size_t n) const { return store_.dialect_.Marker(n); }

    ORBOM_RC Run(const std::string& sql, int line) { return Written(store_.Exec(sql), line); }

    ORBOM_RC Written(ORBOM_RC rc, int line) {
        return rc == ORBOM_RC_SUCCESS ? rc : NativeFailure(rc, line);
    }

    ORBOM_RC NativeFailure(ORBOM_RC rc, int line) {
        return Fail(rc, line, store_.nativeMessage());
    }

    ORBOM_RC Fail(ORBOM_RC rc, int line, const std::string& message) {
        error_->line = line;
        error_->message = message;
        return rc;
    }

    Store& store_;
    std::map<std::string, ClassDef> classes_;
    ImportError* error_;
};

ORBOM_RC Store::Import(std::string_view text, ImportError* error) {
    ClassFile file;
    ORBOM_RC rc = ParseOrFail(text, &file, error);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    importedInUnit_ = true;
    rc = BeginWrite();
    if (rc == ORBOM_RC_SUCCESS) {
        rc = Reload();
        if (rc == ORBOM_RC_SUCCESS) rc = Importer(*this, error).Apply(file);
        if (rc == ORBOM_RC_SUCCESS) rc = CommitWrite();
        if (rc != ORBOM_RC_SUCCESS) RollbackWrite();
    }
    // After a rollback the cache may hold what was undone; after a commit it
    // lacks what was added. Either way it is read again, and the read cache
    // starts anew (objects an import adds are written by no single class's
    // write).
    if (cache_) cache_->Clear();
    const ORBOM_RC reload = Reload();
    return rc != ORBOM_RC_SUCCESS ? rc : reload;
}

ORBOM_RC Store::Initialize(std::string_view frameworkClasses) {
    ClassFile file;
    ImportError error;
    ORBOM_RC rc = ParseOrFail(frameworkClasses, &file, &error);
    if (rc != ORBOM_RC_SUCCESS) {
        SetNativeError(error.line, "framework classes: " + error.message);
        return rc;
    }
    rc = BeginWrite();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    rc = PrepareCreate();
    for (const std::string& sql : CatalogSchemaSql(dialect_)) {
        if (rc == ORBOM_RC_SUCCESS) rc = Exec(sql);
    }
    // Another process may have finished creating it while this one waited.
    if (rc == ORBOM_RC_SUCCESS && CheckFormat() == ORBOM_RC_SUCCESS) {
        rc = ORBOM_RC_NAME_IS_NOT_UNIQUE;
    }
    if (rc == ORBOM_RC_SUCCESS) rc = Reload();
    if (rc == ORBOM_RC_SUCCESS) rc = Importer(*this, &error).Apply(file);
    if (rc == ORBOM_RC_SUCCESS) {
        rc = Exec("INSERT INTO orb_meta(key, value) VALUES('format','1')");
    }
    if (rc == ORBOM_RC_SUCCESS) rc = CommitWrite();
    if (rc != ORBOM_RC_SUCCESS) {
        RollbackWrite();
        return rc;
    }
    return Reload();
}

}  // namespace orbom
