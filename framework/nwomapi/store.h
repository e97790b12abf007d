// The object operations of one repository connection over its database:
// select, create, update and delete on a class's table, class import and
// listing, and accounts. Each write is one transaction. The catalog is cached
// and read again only when a name is missing from it, because another process
// may have added classes or properties since.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/nwomapi/catalog.h"
#include "framework/nwomapi/database.h"
#include "framework/nwomapi/value.h"

namespace orbom {

// One criterion or one property assignment.
struct NamedValue {
    std::string name;
    Value value;
};

// The objects a select found, packed: one cell per object and property,
// each pointing into one byte buffer that is never changed after the select,
// so addresses handed to callers stay valid for the selection's life.
struct Columns {
    std::vector<std::string> names;  // the selected properties
    std::vector<uint32_t> types;     // their types
};

struct Selection {
    std::shared_ptr<const Columns> columns;  // shared with the statement's plan
    size_t count = 0;                        // objects
    std::vector<Cell> cells;                 // count * columns, object by object
    std::string bytes;                       // each value followed by a zero byte

    const Cell& At(size_t object, size_t property) const {
        return cells[object * columns->names.size() + property];
    }
};

struct ImportError {
    int line = 0;
    std::string message;
};

// The class whose objects link a parent object to a child object.
inline constexpr const char* kLinkClass = "Inclusion";

class Store {
public:
    // Opens an existing repository (7 when there is none at path, or when
    // its file is damaged: every page is checked first).
    ORBOM_RC Open(const std::string& path);
    // Makes a new repository at path and imports the framework's classes into
    // it; 65 when a finished repository is there already.
    ORBOM_RC Create(const std::string& path, std::string_view frameworkClasses);

    Database& db() { return db_; }

    ORBOM_RC Select(const std::string& cls, const std::vector<NamedValue>& criteria,
                    const std::string& properties, Selection* out);
    ORBOM_RC CreateObject(const std::string& cls, const std::vector<NamedValue>& values);
    ORBOM_RC Update(const std::string& cls, const std::vector<NamedValue>& criteria,
                    const std::vector<NamedValue>& values, uint32_t* count);
    // Deletes the matching objects and, with them, every link (an object of
    // the link class) whose parent or child is one of them.
    ORBOM_RC Delete(const std::string& cls, const std::vector<NamedValue>& criteria,
                    uint32_t* count);

    // A unit of work (Database::BeginWork). When the unit imported classes,
    // a rollback reads the catalog again, since the import was undone; other
    // rollbacks keep the catalog (they are the common case: a find that found
    // nothing to create under, say).
    ORBOM_RC BeginWork();
    ORBOM_RC CommitWork();
    ORBOM_RC RollbackWork();

    ORBOM_RC Import(std::string_view text, ImportError* error);
    ORBOM_RC ClassNames(std::vector<std::string>* out);
    ORBOM_RC DescribeClass(const std::string& cls, ClassDef* out);

    ORBOM_RC SetAccount(const std::string& user, const std::string& password);
    ORBOM_RC CheckAccount(const std::string& user, const std::string& password);
    ORBOM_RC HasAccounts(bool* any);

private:
    // The class, with every name of the lists (and extra, when not empty)
    // among its properties with the value's type. The catalog is read again
    // once when a name is missing. 10, 40 or 34.
    ORBOM_RC Resolve(const std::string& cls, const std::vector<NamedValue>* a,
                     const std::vector<NamedValue>* b, const std::string& extra,
                     const ClassDef** out);
    ORBOM_RC RunCounted(const std::string& sql, const std::vector<const Value*>& binds,
                        uint32_t* count);
    ORBOM_RC Reload();
    // The statement deleting the links of cls's objects matching where (as
    // Where() built it); empty when cls has no UUIDs to link or is the link
    // class itself.
    std::string LinksOfSql(const std::string& cls, const ClassDef& def,
                           const std::string& where) const;
    ORBOM_RC RunLinkDelete(const std::string& sql, const std::string& cls,
                           const std::vector<const Value*>& binds);

    // A select statement with what it delivers, kept per class, property
    // selection and criteria shape (names, types, nulls). The catalog only
    // grows, so a shape checked once stays valid.
    struct SelectPlan {
        sqlite3_stmt* stmt = nullptr;
        std::shared_ptr<const Columns> columns;
    };
    ORBOM_RC PlanSelect(const std::string& cls, const std::vector<NamedValue>& criteria,
                        const std::string& properties, const SelectPlan** out);
    std::unordered_map<std::string, SelectPlan> selectPlans_;

    Database db_;
    Catalog catalog_;
    bool importedInWork_ = false;  // an Import ran inside the open unit of work
};

}  // namespace orbom
