// Class import: a parsed class-definition file applied in one transaction,
// and the creation of a repository, which is the import of the framework's
// own classes into a fresh catalog.
#include <map>

#include "framework/nwomapi/classfile.h"
#include "framework/nwomapi/names.h"
#include "framework/nwomapi/store.h"

namespace orbom {

namespace {

class Importer {
public:
    Importer(Database& db, const Catalog& catalog, ImportError* error)
        : db_(db), classes_(catalog.classes()), error_(error) {}

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
            ORBOM_RC rc = Run(CreateTableSql(block.name), block.line);
            if (rc == ORBOM_RC_SUCCESS) rc = Insert("INSERT INTO orb_class(name) VALUES(?)",
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
            const std::string index = CreateIndexSql(def.name, existing);
            return index.empty() ? ORBOM_RC_SUCCESS : Run(index, p.line);
        }
        ORBOM_RC rc = Run(AddColumnSql(def.name, p.property), p.line);
        const std::string index = CreateIndexSql(def.name, p.property);
        if (rc == ORBOM_RC_SUCCESS && !index.empty()) rc = Run(index, p.line);
        if (rc == ORBOM_RC_SUCCESS) {
            rc = Insert("INSERT INTO orb_property(class, name, type, position) VALUES(?,?,?,?)",
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
        std::string columns, marks;
        for (const ValueLine& v : block.values) {
            columns += (columns.empty() ? "" : ",") + ColumnName(v.name);
            marks += marks.empty() ? "?" : ",?";
        }
        return Statement("INSERT INTO " + TableName(def.name) + "(" + columns + ") VALUES(" +
                             marks + ")",
                         values, block.line, nullptr);
    }

    ORBOM_RC Exists(const std::string& cls, const Value& uuid, int line, bool* exists) {
        return Statement("SELECT 1 FROM " + TableName(cls) + " WHERE " + ColumnName("uuid") +
                             "=? LIMIT 1",
                         {uuid}, line, exists);
    }

    // Runs sql with values bound; rowFound (may be null) tells whether it gave a row.
    ORBOM_RC Statement(const std::string& sql, const std::vector<Value>& values, int line,
                       bool* rowFound) {
        sqlite3_stmt* stmt = db_.Prepare(sql);
        if (!stmt) return NativeFailure(line);
        StatementUse use(stmt);
        for (size_t i = 0; i < values.size(); ++i) {
            BindValue(stmt, static_cast<int>(i + 1), values[i]);
        }
        const int step = sqlite3_step(stmt);
        if (step != SQLITE_ROW && step != SQLITE_DONE) {
            db_.Fail(step);
            return NativeFailure(line);
        }
        if (rowFound) *rowFound = step == SQLITE_ROW;
        return ORBOM_RC_SUCCESS;
    }

    ORBOM_RC Insert(const std::string& sql, const std::vector<std::string>& texts, int number,
                    int line, int position = -1) {
        std::vector<Value> values;
        for (const std::string& t : texts) {
            Value v;
            MakeValue(ORBOM_TYPE_STRING, static_cast<uint32_t>(t.size()), t.data(), false, &v);
            values.push_back(std::move(v));
        }
        for (int n : {number, position}) {
            if (n < 0) continue;
            Value v;
            const int32_t i = n;
            MakeValue(ORBOM_TYPE_INTEGER, sizeof i, &i, false, &v);
            values.push_back(std::move(v));
        }
        return Statement(sql, values, line, nullptr);
    }

    ORBOM_RC Run(const std::string& sql, int line) {
        return db_.Exec(sql) == ORBOM_RC_SUCCESS ? ORBOM_RC_SUCCESS : NativeFailure(line);
    }

    ORBOM_RC NativeFailure(int line) {
        return Fail(db_.LastFailure(), line, db_.nativeMessage());
    }

    ORBOM_RC Fail(ORBOM_RC rc, int line, const std::string& message) {
        error_->line = line;
        error_->message = message;
        return rc;
    }

    Database& db_;
    std::map<std::string, ClassDef> classes_;
    ImportError* error_;
};

ORBOM_RC ParseOrFail(std::string_view text, ClassFile* file, ImportError* error) {
    ParseError parseError;
    if (ParseClassFile(text, file, &parseError)) return ORBOM_RC_SUCCESS;
    error->line = parseError.line;
    error->message = parseError.message;
    return ORBOM_RC_OPERATION_FAIL;
}

}  // namespace

ORBOM_RC Store::Import(std::string_view text, ImportError* error) {
    ClassFile file;
    ORBOM_RC rc = ParseOrFail(text, &file, error);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    if (db_.InWork()) importedInWork_ = true;
    {
        Transaction tx(db_);
        rc = tx.Begin();
        if (rc == ORBOM_RC_SUCCESS) rc = Reload();
        if (rc == ORBOM_RC_SUCCESS) rc = Importer(db_, catalog_, error).Apply(file);
        if (rc == ORBOM_RC_SUCCESS) rc = tx.Commit();
    }
    // After a rollback the cache may hold what was undone; after a commit it
    // lacks what was added. Either way it is read again.
    const ORBOM_RC reload = Reload();
    return rc != ORBOM_RC_SUCCESS ? rc : reload;
}

ORBOM_RC Store::Create(const std::string& path, std::string_view frameworkClasses) {
    ORBOM_RC rc = db_.Open(path, true);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    ClassFile file;
    ImportError error;
    rc = ParseOrFail(frameworkClasses, &file, &error);
    if (rc != ORBOM_RC_SUCCESS) {
        db_.SetNativeError(error.line, "framework classes: " + error.message);
        return rc;
    }
    Transaction tx(db_);
    rc = tx.Begin();
    if (rc == ORBOM_RC_SUCCESS) rc = db_.Exec(kCatalogSchema);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    // Another process may have finished creating it while this one waited.
    sqlite3_stmt* stmt = db_.Prepare("SELECT 1 FROM orb_meta WHERE key='format'");
    if (!stmt) return db_.LastFailure();
    {
        StatementUse use(stmt);
        if (sqlite3_step(stmt) == SQLITE_ROW) return ORBOM_RC_NAME_IS_NOT_UNIQUE;
    }
    rc = Reload();
    if (rc == ORBOM_RC_SUCCESS) rc = Importer(db_, catalog_, &error).Apply(file);
    if (rc == ORBOM_RC_SUCCESS) rc = db_.Exec("INSERT INTO orb_meta(key, value) VALUES('format','1')");
    if (rc == ORBOM_RC_SUCCESS) rc = tx.Commit();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    return Reload();
}

}  // namespace orbom
