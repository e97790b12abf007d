#include "framework/nwomapi/store.h"

#include "framework/nwomapi/names.h"

namespace orbom {

namespace {

constexpr size_t kMaxSelectionBytes = 0xF0000000u;

bool Covers(const ClassDef& def, const std::vector<NamedValue>* list) {
    if (!list) return true;
    for (const NamedValue& v : *list) {
        if (def.Find(v.name) < 0) return false;
    }
    return true;
}

ORBOM_RC CheckTypes(const ClassDef& def, const std::vector<NamedValue>* list) {
    if (!list) return ORBOM_RC_SUCCESS;
    for (const NamedValue& v : *list) {
        if (def.properties[def.Find(v.name)].type != v.value.type) {
            return ORBOM_RC_DATATYPE_MISMATCH;
        }
    }
    return ORBOM_RC_SUCCESS;
}

// Equality on each criterion; a null criterion asks for a null property.
std::string Where(const std::vector<NamedValue>& criteria, std::vector<const Value*>* binds) {
    std::string sql;
    for (const NamedValue& c : criteria) {
        sql += sql.empty() ? " WHERE " : " AND ";
        if (c.value.null) {
            sql += ColumnName(c.name) + " IS NULL";
        } else {
            sql += ColumnName(c.name) + "=?";
            binds->push_back(&c.value);
        }
    }
    return sql;
}

// The later of two values for one property wins, as callers expect when they
// set a property twice before saving.
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

}  // namespace

ORBOM_RC Store::Open(const std::string& path) {
    ORBOM_RC rc = db_.Open(path, false);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    sqlite3_stmt* stmt = db_.Prepare("SELECT value FROM orb_meta WHERE key='format'");
    if (!stmt) return ORBOM_RC_INVALID_REPOSITORY;  // not a repository file
    StatementUse use(stmt);
    if (sqlite3_step(stmt) != SQLITE_ROW) return ORBOM_RC_INVALID_REPOSITORY;
    // A damaged file is refused before anything is written to it: damage in
    // pages an operation never reads would otherwise go unseen while the
    // operation reports success (a deletion, say, that leaves half the
    // repository's links behind).
    rc = db_.CheckPages();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    return Reload();
}

ORBOM_RC Store::Reload() { return catalog_.Load(db_); }

ORBOM_RC Store::BeginWork() {
    const ORBOM_RC rc = db_.BeginWork();
    if (rc == ORBOM_RC_SUCCESS) importedInWork_ = false;
    return rc;
}

ORBOM_RC Store::CommitWork() {
    importedInWork_ = false;
    return db_.CommitWork();
}

ORBOM_RC Store::RollbackWork() {
    const ORBOM_RC rc = db_.RollbackWork();
    if (rc != ORBOM_RC_SUCCESS || !importedInWork_) return rc;
    importedInWork_ = false;
    selectPlans_.clear();
    return Reload();
}

ORBOM_RC Store::Resolve(const std::string& cls, const std::vector<NamedValue>* a,
                        const std::vector<NamedValue>* b, const std::string& extra,
                        const ClassDef** out) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const ClassDef* def = catalog_.Find(cls);
        if (def && Covers(*def, a) && Covers(*def, b) && (extra.empty() || def->Find(extra) >= 0)) {
            ORBOM_RC rc = CheckTypes(*def, a);
            if (rc == ORBOM_RC_SUCCESS) rc = CheckTypes(*def, b);
            if (rc == ORBOM_RC_SUCCESS) *out = def;
            return rc;
        }
        if (attempt == 0) {
            const ORBOM_RC rc = Reload();
            if (rc != ORBOM_RC_SUCCESS) return rc;
        }
    }
    return catalog_.Find(cls) ? ORBOM_RC_INVALID_PROPERTY : ORBOM_RC_INVALID_CLASS;
}

ORBOM_RC Store::PlanSelect(const std::string& cls, const std::vector<NamedValue>& criteria,
                           const std::string& properties, const SelectPlan** out) {
    std::string key = cls + '\x1f' + properties;
    for (const NamedValue& c : criteria) {
        key += '\x1f' + c.name + static_cast<char>('A' + c.value.type) + (c.value.null ? 'n' : 'v');
    }
    auto it = selectPlans_.find(key);
    if (it != selectPlans_.end()) {
        *out = &it->second;
        return ORBOM_RC_SUCCESS;
    }
    const bool all = properties == "*";
    const ClassDef* def = nullptr;
    const ORBOM_RC rc = Resolve(cls, &criteria, nullptr, all ? "" : properties, &def);
    if (rc != ORBOM_RC_SUCCESS) return rc;

    auto columns = std::make_shared<Columns>();
    std::string sql = "SELECT ";
    for (const PropertyDef& p : def->properties) {
        if (!all && p.name != properties) continue;
        sql += (columns->types.empty() ? "" : ",") + ColumnName(p.name);
        columns->names.push_back(p.name);
        columns->types.push_back(p.type);
    }
    if (columns->types.empty()) sql += "oid";  // a class without properties still has objects
    std::vector<const Value*> binds;
    sql += " FROM " + TableName(cls) + Where(criteria, &binds);
    SelectPlan plan;
    plan.columns = std::move(columns);
    plan.stmt = db_.Prepare(sql);
    if (!plan.stmt) return db_.LastFailure();
    *out = &selectPlans_.emplace(std::move(key), std::move(plan)).first->second;
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC Store::Select(const std::string& cls, const std::vector<NamedValue>& criteria,
                       const std::string& properties, Selection* out) {
    const SelectPlan* plan = nullptr;
    const ORBOM_RC rc = PlanSelect(cls, criteria, properties.empty() ? "*" : properties, &plan);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    *out = Selection();
    out->columns = plan->columns;
    const std::vector<uint32_t>& types = plan->columns->types;

    sqlite3_stmt* stmt = plan->stmt;
    StatementUse use(stmt);
    int index = 0;
    for (const NamedValue& c : criteria) {
        if (!c.value.null) BindValue(stmt, ++index, c.value);
    }
    int step;
    while ((step = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (size_t i = 0; i < types.size(); ++i) {
            out->cells.push_back(AppendColumn(stmt, static_cast<int>(i), types[i], &out->bytes));
        }
        ++out->count;
        // Cells address the buffer with 32-bit offsets.
        if (out->bytes.size() > kMaxSelectionBytes) {
            *out = Selection();
            return ORBOM_RC_OUT_OF_MEMORY;
        }
    }
    if (step != SQLITE_DONE) {
        *out = Selection();
        return db_.Fail(step);
    }
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC Store::CreateObject(const std::string& cls, const std::vector<NamedValue>& values) {
    const ClassDef* def = nullptr;
    ORBOM_RC rc = Resolve(cls, &values, nullptr, "", &def);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    const std::vector<const NamedValue*> unique = LastOfEach(values);
    std::string sql = "INSERT INTO " + TableName(cls);
    if (unique.empty()) {
        sql += " DEFAULT VALUES";
    } else {
        std::string columns, marks;
        for (const NamedValue* v : unique) {
            columns += (columns.empty() ? "" : ",") + ColumnName(v->name);
            marks += marks.empty() ? "?" : ",?";
        }
        sql += "(" + columns + ") VALUES(" + marks + ")";
    }
    std::vector<const Value*> binds;
    for (const NamedValue* v : unique) binds.push_back(&v->value);
    return RunCounted(sql, binds, nullptr);
}

ORBOM_RC Store::Update(const std::string& cls, const std::vector<NamedValue>& criteria,
                       const std::vector<NamedValue>& values, uint32_t* count) {
    *count = 0;
    if (values.empty()) return ORBOM_RC_INVALID_COUNT;
    const ClassDef* def = nullptr;
    ORBOM_RC rc = Resolve(cls, &criteria, &values, "", &def);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    std::string sql = "UPDATE " + TableName(cls) + " SET ";
    std::vector<const Value*> binds;
    bool first = true;
    for (const NamedValue* v : LastOfEach(values)) {
        sql += (first ? "" : ",") + ColumnName(v->name) + "=?";
        binds.push_back(&v->value);
        first = false;
    }
    sql += Where(criteria, &binds);
    rc = RunCounted(sql, binds, count);
    return rc == ORBOM_RC_SUCCESS && *count == 0 ? ORBOM_RC_NO_MATCH : rc;
}

ORBOM_RC Store::Delete(const std::string& cls, const std::vector<NamedValue>& criteria,
                       uint32_t* count) {
    *count = 0;
    const ClassDef* def = nullptr;
    ORBOM_RC rc = Resolve(cls, &criteria, nullptr, "", &def);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    std::vector<const Value*> binds;
    const std::string where = Where(criteria, &binds);
    const std::string sql = "DELETE FROM " + TableName(cls) + where;
    const std::string links = LinksOfSql(cls, *def, where);
    if (links.empty()) {
        rc = RunCounted(sql, binds, count);
    } else {
        // The links go in the same transaction as the objects they name, so
        // no link ever points at a deleted object.
        Transaction tx(db_);
        rc = tx.Begin();
        if (rc == ORBOM_RC_SUCCESS) rc = RunLinkDelete(links, cls, binds);
        if (rc == ORBOM_RC_SUCCESS) rc = RunCounted(sql, binds, count);
        if (rc == ORBOM_RC_SUCCESS) rc = tx.Commit();
        if (rc != ORBOM_RC_SUCCESS) *count = 0;
    }
    return rc == ORBOM_RC_SUCCESS && *count == 0 ? ORBOM_RC_NO_MATCH : rc;
}

std::string Store::LinksOfSql(const std::string& cls, const ClassDef& def,
                              const std::string& where) const {
    const ClassDef* links = catalog_.Find(kLinkClass);
    if (cls == kLinkClass || !links) return "";
    const int uuid = def.Find("uuid");
    if (uuid < 0 || def.properties[uuid].type != ORBOM_TYPE_UUID) return "";
    for (const char* p : {"parent_uuid", "child_uuid", "parent_class", "child_class"}) {
        if (links->Find(p) < 0) return "";
    }
    const std::string uuids = "(SELECT " + ColumnName("uuid") + " FROM " + TableName(cls) + where +
                              ")";
    return "DELETE FROM " + TableName(kLinkClass) + " WHERE (" + ColumnName("parent_class") +
           "=? AND " + ColumnName("parent_uuid") + " IN " + uuids + ") OR (" +
           ColumnName("child_class") + "=? AND " + ColumnName("child_uuid") + " IN " + uuids + ")";
}

// The statement of LinksOfSql, with the class name and the criteria bound
// once for each end of a link.
ORBOM_RC Store::RunLinkDelete(const std::string& sql, const std::string& cls,
                              const std::vector<const Value*>& binds) {
    sqlite3_stmt* stmt = db_.Prepare(sql);
    if (!stmt) return ORBOM_RC_REPOSITORY_NATIVE_ERROR;
    StatementUse use(stmt);
    int index = 0;
    for (int end = 0; end < 2; ++end) {
        sqlite3_bind_text(stmt, ++index, cls.data(), static_cast<int>(cls.size()), SQLITE_STATIC);
        for (const Value* v : binds) BindValue(stmt, ++index, *v);
    }
    const int step = sqlite3_step(stmt);
    return step == SQLITE_DONE ? ORBOM_RC_SUCCESS : db_.Fail(step);
}

// One statement in its own write transaction; count (may be null) gets the
// rows it changed.
ORBOM_RC Store::RunCounted(const std::string& sql, const std::vector<const Value*>& binds,
                           uint32_t* count) {
    sqlite3_stmt* stmt = db_.Prepare(sql);
    if (!stmt) return db_.LastFailure();
    Transaction tx(db_);
    ORBOM_RC rc = tx.Begin();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    {
        StatementUse use(stmt);
        for (size_t i = 0; i < binds.size(); ++i) {
            BindValue(stmt, static_cast<int>(i + 1), *binds[i]);
        }
        const int step = sqlite3_step(stmt);
        if (step != SQLITE_DONE) return db_.Fail(step);
    }
    if (count) *count = static_cast<uint32_t>(sqlite3_changes(db_.handle()));
    return tx.Commit();
}

ORBOM_RC Store::ClassNames(std::vector<std::string>* out) {
    const ORBOM_RC rc = Reload();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    out->clear();
    for (const auto& entry : catalog_.classes()) out->push_back(entry.first);
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC Store::DescribeClass(const std::string& cls, ClassDef* out) {
    const ORBOM_RC rc = Reload();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    const ClassDef* def = catalog_.Find(cls);
    if (!def) return ORBOM_RC_INVALID_CLASS;
    *out = *def;
    return ORBOM_RC_SUCCESS;
}

}  // namespace orbom
