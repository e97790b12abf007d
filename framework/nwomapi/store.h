// The object operations of one repository connection: select, create,
// update and delete on a class's table, units of work, class import and
// listing, and accounts. The operations are written once here, over a few
// primitives each backend gives (a query, a write as one transaction, schema
// statements, a transaction spanning calls): the embedded SQLite file
// (sqlite_store.h) and a PostgreSQL database (pg_store.h). Each operation is
// one transaction. The catalog is cached and read again only when a name is
// missing from it, because another process may have added classes or
// properties since. A read cache (read_cache.h) may answer selects; when
// it may is each backend's to say (Freshen, CachedQuery).
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "framework/nwomapi/catalog.h"
#include "framework/nwomapi/read_cache.h"
#include "framework/nwomapi/statements.h"
#include "framework/nwomapi/value.h"

namespace orbom {

struct ImportError {
    int line = 0;
    std::string message;
};

class Store {
public:
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;
    virtual ~Store() = default;

    ORBOM_RC Select(const std::string& cls, const std::vector<NamedValue>& criteria,
                    const std::string& properties, Selection* out);
    ORBOM_RC CreateObject(const std::string& cls, const std::vector<NamedValue>& values);
    ORBOM_RC Update(const std::string& cls, const std::vector<NamedValue>& criteria,
                    const std::vector<NamedValue>& values, uint32_t* count);
    // Deletes the matching objects and, with them, every link (an object of
    // the link class) whose parent or child is one of them.
    ORBOM_RC Delete(const std::string& cls, const std::vector<NamedValue>& criteria,
                    uint32_t* count);

    // A unit of work: one transaction spanning calls, exclusive on the
    // repository, in which each write nests so that a failing one undoes only
    // itself. BeginWork while one is open answers 12; the others without one
    // 13. When the unit imported classes, a rollback reads the catalog again,
    // since the import was undone; other rollbacks keep the catalog (they are
    // the common case: a find that found nothing to create under, say).
    ORBOM_RC BeginWork();
    ORBOM_RC CommitWork();
    ORBOM_RC RollbackWork();

    ORBOM_RC Import(std::string_view text, ImportError* error);
    ORBOM_RC ClassNames(std::vector<std::string>* out);
    ORBOM_RC DescribeClass(const std::string& cls, ClassDef* out);

    ORBOM_RC SetAccount(const std::string& user, const std::string& password);
    ORBOM_RC CheckAccount(const std::string& user, const std::string& password);
    ORBOM_RC HasAccounts(bool* any);

    // Tells the process's other connections to the repository at scope (its
    // place, the same for each of them) what this one commits, so that their
    // caches drop it at once; called for every connection, cached or not.
    void ShareCommits(const std::string& scope);
    // Turns the read cache on with that cap; false (and no cache) when the
    // database cannot tell the client what changed.
    virtual bool EnableCache(size_t capBytes);
    // Null when the cache is off.
    const ReadCache* cache() const { return cache_.get(); }

    // The database's own text and code of the last failure.
    virtual int nativeCode() const = 0;
    virtual const std::string& nativeMessage() const = 0;

protected:
    explicit Store(const Dialect& dialect) : dialect_(dialect) {}

    // ---- What each backend gives ----
    // Runs a statement that reads: its rows, typed by columns, into out.
    virtual ORBOM_RC Query(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                           Selection* out) = 0;
    // The statements as one write: all or none of them. count (may be null)
    // gets the rows the last one changed.
    virtual ORBOM_RC Write(const std::vector<Sql>& statements, uint32_t* count) = 0;
    // A statement without values or rows (the schema's), inside BeginWrite.
    virtual ORBOM_RC Exec(const std::string& sql) = 0;
    // A write spanning calls (an import, a creation), exclusive like a unit
    // and nesting inside one.
    virtual ORBOM_RC BeginWrite() = 0;
    virtual ORBOM_RC CommitWrite() = 0;
    virtual void RollbackWrite() = 0;
    virtual ORBOM_RC BeginUnit() = 0;
    virtual ORBOM_RC CommitUnit() = 0;
    virtual ORBOM_RC RollbackUnit() = 0;
    // Creation: whatever the backend does first inside the creating write.
    virtual ORBOM_RC PrepareCreate() { return ORBOM_RC_SUCCESS; }
    // Records an error of the client's own for the native-error call.
    virtual void SetNativeError(int code, const std::string& message) = 0;

    // ---- What each backend gives the read cache ----
    // Brings the cache to what the database holds now (dropping what
    // changed) before it answers: inside a unit exactly, outside one as far
    // as the database's change signals have arrived.
    virtual ORBOM_RC Freshen() { return ORBOM_RC_SUCCESS; }
    // Runs a read whose rows the cache will keep, so that they are never
    // older than what the cache was freshened to.
    virtual ORBOM_RC CachedQuery(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                                 Selection* out) {
        return Query(sql, columns, out);
    }
    // A unit of work is open (BeginWork to CommitWork or RollbackWork).
    bool unitOpen() const { return unitOpen_; }
    std::unique_ptr<ReadCache> cache_;

    // ---- Shared steps of opening and creating ----
    // The repository's marker row: 0 when it is there, 7 when it is not a
    // finished repository.
    ORBOM_RC CheckFormat();
    // Makes the catalog and imports the framework's classes; 65 when a
    // finished repository is there already.
    ORBOM_RC Initialize(std::string_view frameworkClasses);
    ORBOM_RC Reload();

    const Dialect& dialect_;
    const Catalog& catalog() const { return catalog_; }

private:
    class Importer;

    // The class, with every name of the lists (and extra, when not empty)
    // among its properties with the value's type. The catalog is read again
    // once when a name is missing. 10, 40 or 34.
    ORBOM_RC Resolve(const std::string& cls, const std::vector<NamedValue>* a,
                     const std::vector<NamedValue>* b, const std::string& extra,
                     const ClassDef** out);
    // Whether deleting objects of cls must delete links, and how.
    bool HasLinks(const std::string& cls, const ClassDef& def) const;

    // A select statement with what it delivers, kept per class, property
    // selection and criteria shape (names, types, nulls). The catalog only
    // grows, so a shape checked once stays valid.
    struct SelectPlan {
        std::string sql;
        std::shared_ptr<const Columns> columns;
    };
    ORBOM_RC PlanSelect(const std::string& cls, const std::vector<NamedValue>& criteria,
                        const std::string& properties, const SelectPlan** out);
    std::unordered_map<std::string, SelectPlan> selectPlans_;

    // A select the cache may answer, with its plan and statement.
    ORBOM_RC CachedSelect(const std::string& cls, const std::vector<NamedValue>& criteria,
                          const std::string& properties, const SelectPlan& plan, const Sql& sql,
                          Selection* out);
    // Loads the class's directory (every object) into the cache.
    ORBOM_RC LoadDirectory(const std::string& cls);
    // The client's own write to a class, and the end of a unit.
    void Wrote(const std::string& cls);
    void UnitEnded(bool undone);
    // Drops what this process's other connections committed, then asks the
    // backend.
    ORBOM_RC FreshenAll();
    void TakeLocal();
    bool unitOpen_ = false;
    std::shared_ptr<LocalSignals> local_;
    uint64_t localSeen_ = 0;
    std::set<std::string> unitWrites_;  // classes the open unit wrote

    Catalog catalog_;
    bool importedInUnit_ = false;  // the unit's rollback may undo classes
};

// Opens the named repository where the machine's settings put it (7 when
// there is none, or it is damaged or refused). client: the kernel's client
// name, which a database server shows beside the connection.
ORBOM_RC OpenStore(const std::string& repository, const std::string& client,
                   std::unique_ptr<Store>* out);
// Makes the named repository holding the framework's classes; 65 when it
// exists already.
ORBOM_RC CreateStore(const std::string& repository);
// The native error of the calling thread's last failed OpenStore or
// CreateStore (or repository registration).
void LastOpenFailure(int* code, std::string* message);
void RememberOpenFailure(int code, const std::string& message);

}  // namespace orbom
