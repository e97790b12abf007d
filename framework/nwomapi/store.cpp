#include "framework/nwomapi/store.h"

#include "framework/nwomapi/names.h"

namespace orbom {

namespace {

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

}  // namespace

ORBOM_RC Store::CheckFormat() {
    static const std::shared_ptr<const Columns> columns =
        std::make_shared<Columns>(Columns{{"value"}, {ORBOM_TYPE_STRING}});
    Selection rows;
    const ORBOM_RC rc = Query({"SELECT value FROM orb_meta WHERE key='format'", {}}, columns, &rows);
    // A database without the catalog is not a repository; a lost
    // connection is the connection's failure, not the repository's.
    if (rc == ORBOM_RC_REPOSITORY_CONNECTION_LOST) return rc;
    if (rc != ORBOM_RC_SUCCESS || rows.count == 0) return ORBOM_RC_INVALID_REPOSITORY;
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC Store::Reload() {
    Selection rows;
    const ORBOM_RC rc = Query({kCatalogSql, {}}, Catalog::SqlColumns(), &rows);
    if (rc == ORBOM_RC_SUCCESS) catalog_.Load(rows);
    return rc;
}

void Store::ShareCommits(const std::string& scope) {
    local_ = LocalSignalsOf(scope);
    std::vector<std::string> before;
    local_->Since(&localSeen_, &before);
}

bool Store::EnableCache(size_t capBytes) {
    cache_ = std::make_unique<ReadCache>(capBytes);
    return true;
}

void Store::TakeLocal() {
    if (!local_) return;
    std::vector<std::string> classes;
    local_->Since(&localSeen_, &classes);
    for (const std::string& cls : classes) cache_->Drop(cls);
}

ORBOM_RC Store::FreshenAll() {
    TakeLocal();
    return Freshen();
}

ORBOM_RC Store::BeginWork() {
    const ORBOM_RC rc = BeginUnit();
    if (rc == ORBOM_RC_SUCCESS) {
        importedInUnit_ = false;
        unitOpen_ = true;
        unitWrites_.clear();
    }
    return rc;
}

ORBOM_RC Store::CommitWork() {
    const bool open = unitOpen_;
    const ORBOM_RC rc = CommitUnit();
    unitOpen_ = false;
    // A commit that failed undid the unit.
    if (open) UnitEnded(rc != ORBOM_RC_SUCCESS);
    return rc;
}

void Store::UnitEnded(bool undone) {
    for (const std::string& cls : unitWrites_) {
        if (!undone && local_) local_->Bump(cls, &localSeen_);
        // What was read after the unit's own writes is gone with them.
        if (undone && cache_) {
            cache_->Drop(cls);
            cache_->Unstamp(cls);
        }
    }
    unitWrites_.clear();
}

ORBOM_RC Store::RollbackWork() {
    const bool open = unitOpen_;
    const ORBOM_RC rc = RollbackUnit();
    unitOpen_ = false;
    if (open) UnitEnded(true);
    if (rc != ORBOM_RC_SUCCESS || !importedInUnit_) return rc;
    if (cache_) cache_->Clear();
    selectPlans_.clear();
    // Read at the next use when it cannot be read now.
    if (Reload() != ORBOM_RC_SUCCESS) catalog_ = Catalog();
    return ORBOM_RC_SUCCESS;
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
    for (const PropertyDef& p : def->properties) {
        if (!all && p.name != properties) continue;
        columns->names.push_back(p.name);
        columns->types.push_back(p.type);
    }
    SelectPlan plan;
    plan.sql = SelectSql(dialect_, cls, columns->names, criteria).text;
    plan.columns = std::move(columns);
    *out = &selectPlans_.emplace(std::move(key), std::move(plan)).first->second;
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC Store::Select(const std::string& cls, const std::vector<NamedValue>& criteria,
                       const std::string& properties, Selection* out) {
    const SelectPlan* plan = nullptr;
    const ORBOM_RC rc = PlanSelect(cls, criteria, properties.empty() ? "*" : properties, &plan);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    Sql sql{plan->sql, {}};
    for (const NamedValue& c : criteria) {
        if (!c.value.null) sql.binds.push_back(&c.value);
    }
    *out = Selection();
    if (cache_) return CachedSelect(cls, criteria, properties, *plan, sql, out);
    return Query(sql, plan->columns, out);
}

ORBOM_RC Store::CachedSelect(const std::string& cls, const std::vector<NamedValue>& criteria,
                             const std::string& properties, const SelectPlan& plan, const Sql& sql,
                             Selection* out) {
    TakeLocal();
    ORBOM_RC rc = ORBOM_RC_SUCCESS;
    if (const Value* name = ReadCache::NameCriterion(criteria)) {
        if (cache_->Directory(cls) == ReadCache::DirectoryUse::Loaded) {
            rc = FreshenAll();
            if (rc != ORBOM_RC_SUCCESS) return rc;
            if (cache_->FromDirectory(cls, name->bytes, plan.columns, out)) {
                cache_->CountHit();
                return rc;
            }
        }
        if (cache_->Directory(cls) == ReadCache::DirectoryUse::Absent) {
            rc = LoadDirectory(cls);
            if (rc != ORBOM_RC_SUCCESS) return rc;
            if (cache_->FromDirectory(cls, name->bytes, plan.columns, out)) {
                cache_->CountMiss();
                return rc;
            }
        }
    }
    const std::string key = ReadCache::AnswerKey(properties.empty() ? "*" : properties, criteria);
    if (cache_->Holds(cls, key)) {
        rc = FreshenAll();
        if (rc != ORBOM_RC_SUCCESS) return rc;
        if (cache_->FromAnswers(cls, key, out)) {
            cache_->CountHit();
            return rc;
        }
    }
    rc = CachedQuery(sql, plan.columns, out);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    cache_->CountMiss();
    cache_->KeepAnswer(cls, key, *out);
    return rc;
}

ORBOM_RC Store::LoadDirectory(const std::string& cls) {
    const SelectPlan* plan = nullptr;
    ORBOM_RC rc = PlanSelect(cls, {}, "*", &plan);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    // One row more than a directory may hold tells a class too large for one.
    const Sql sql{plan->sql + " LIMIT " + std::to_string(ReadCache::kDirectoryRows + 1), {}};
    Selection rows;
    rc = CachedQuery(sql, plan->columns, &rows);
    // Rows too many for one selection: too many for a directory.
    if (rc == ORBOM_RC_OUT_OF_MEMORY) {
        rows = Selection();
        rows.columns = plan->columns;
        rows.count = ReadCache::kDirectoryRows + 1;
    } else if (rc != ORBOM_RC_SUCCESS) {
        return rc;
    }
    cache_->KeepDirectory(cls, std::move(rows));
    return ORBOM_RC_SUCCESS;
}

void Store::Wrote(const std::string& cls) {
    if (cache_) cache_->Drop(cls);
    if (unitOpen_) {
        unitWrites_.insert(cls);
    } else if (local_) {
        local_->Bump(cls, &localSeen_);
    }
}

ORBOM_RC Store::CreateObject(const std::string& cls, const std::vector<NamedValue>& values) {
    const ClassDef* def = nullptr;
    ORBOM_RC rc = Resolve(cls, &values, nullptr, "", &def);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    rc = Write({InsertSql(dialect_, cls, values)}, nullptr);
    Wrote(cls);
    return rc;
}

ORBOM_RC Store::Update(const std::string& cls, const std::vector<NamedValue>& criteria,
                       const std::vector<NamedValue>& values, uint32_t* count) {
    *count = 0;
    if (values.empty()) return ORBOM_RC_INVALID_COUNT;
    const ClassDef* def = nullptr;
    ORBOM_RC rc = Resolve(cls, &criteria, &values, "", &def);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    rc = Write({UpdateSql(dialect_, cls, values, criteria)}, count);
    Wrote(cls);
    if (rc != ORBOM_RC_SUCCESS) *count = 0;
    return rc == ORBOM_RC_SUCCESS && *count == 0 ? ORBOM_RC_NO_MATCH : rc;
}

bool Store::HasLinks(const std::string& cls, const ClassDef& def) const {
    const ClassDef* links = catalog_.Find(kLinkClass);
    if (cls == kLinkClass || !links) return false;
    const int uuid = def.Find("uuid");
    if (uuid < 0 || def.properties[uuid].type != ORBOM_TYPE_UUID) return false;
    for (const char* p : {"parent_uuid", "child_uuid", "parent_class", "child_class"}) {
        if (links->Find(p) < 0) return false;
    }
    return true;
}

ORBOM_RC Store::Delete(const std::string& cls, const std::vector<NamedValue>& criteria,
                       uint32_t* count) {
    *count = 0;
    const ClassDef* def = nullptr;
    ORBOM_RC rc = Resolve(cls, &criteria, nullptr, "", &def);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    // The links go in the same write as the objects they name, so no link
    // ever points at a deleted object.
    const Value clsValue = TextValue(cls);
    std::vector<Sql> statements;
    if (HasLinks(cls, *def)) statements.push_back(LinksOfSql(dialect_, cls, clsValue, criteria));
    statements.push_back(DeleteSql(dialect_, cls, criteria));
    rc = Write(statements, count);
    Wrote(cls);
    if (statements.size() > 1) Wrote(kLinkClass);
    if (rc != ORBOM_RC_SUCCESS) *count = 0;
    return rc == ORBOM_RC_SUCCESS && *count == 0 ? ORBOM_RC_NO_MATCH : rc;
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
