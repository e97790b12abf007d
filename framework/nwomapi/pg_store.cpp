#include "framework/nwomapi/pg_store.h"

namespace orbom {

namespace {

// Read committed, whatever the server's default: each statement sees what
// was committed before it started, so a unit that waited for the lock sees
// everything the unit before it wrote.
const std::string kBegin = "BEGIN ISOLATION LEVEL READ COMMITTED";
const std::string kCommit = "COMMIT";
const std::string kRollback = "ROLLBACK";
const std::string kSavepoint = "SAVEPOINT orb_write";
const std::string kRelease = "RELEASE orb_write";
const std::string kRollbackTo = "ROLLBACK TO SAVEPOINT orb_write";

// Attempts of a statement the server refused for a serialization failure
// or a deadlock before it answers 61.
constexpr int kAttempts = 4;

bool Retryable(const std::string& sqlstate) { return sqlstate == "40001" || sqlstate == "40P01"; }

// The repository's lock: a 64-bit key from its schema's name (advisory locks
// belong to one database, so the schema tells repositories there apart).
int64_t LockKey(const std::string& schema) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : "Orbmap repository " + schema) h = (h ^ c) * 1099511628211ull;
    return static_cast<int64_t>(h);
}

// The channel of a schema's change signals: its name when that fits the
// server's 63 bytes, else a hash of it.
std::string ChannelOf(const std::string& schema) {
    const std::string prefix = "orb_changes_";
    if (prefix.size() + schema.size() <= 63) return prefix + schema;
    return prefix + std::to_string(static_cast<uint64_t>(LockKey(schema)));
}

// Counts each class's writing statements and tells listeners which class
// changed, once per transaction and class (the server folds equal
// notifications). Tables are named with their schema: a writer's own
// search path (psql's, say) need not lead there.
std::string SignalFunctionSql(const std::string& schema) {
    return "CREATE OR REPLACE FUNCTION orb_changed() RETURNS trigger LANGUAGE plpgsql AS $orb$"
           " BEGIN INSERT INTO \"" +
           schema +
           "\".orb_change AS c(class, n) VALUES (TG_ARGV[0], 1)"
           " ON CONFLICT (class) DO UPDATE SET n = c.n + 1;"
           " PERFORM pg_notify('" +
           ChannelOf(schema) + "', TG_ARGV[0]); RETURN NULL; END $orb$";
}

// The counters as 32-bit integers: equality is all the cache asks of them.
const std::string kCounters = "SELECT class, (n & 2147483647)::integer FROM orb_change";

PgLink::Step Plain(const std::string* sql) {
    PgLink::Step step;
    step.sql = sql;
    step.prepared = false;
    return step;
}

}  // namespace

PgStore::PgStore(PgTarget target)
    : Store(PostgresDialect()),
      target_(std::move(target)),
      lock_("SELECT pg_advisory_xact_lock(" + std::to_string(LockKey(target_.schema)) + ")") {}

ORBOM_RC PgStore::Open() {
    ORBOM_RC rc = Ready();
    if (rc == ORBOM_RC_SUCCESS) rc = CheckFormat();
    if (rc == ORBOM_RC_SUCCESS) rc = Reload();
    return rc;
}

ORBOM_RC PgStore::Create(std::string_view frameworkClasses) {
    const ORBOM_RC rc = Ready();
    return rc == ORBOM_RC_SUCCESS ? Initialize(frameworkClasses) : rc;
}

ORBOM_RC PgStore::PrepareCreate() {
    // A schema made beforehand (by whoever may create schemas) is used as it
    // is: creating one takes a right on the database its user need not have.
    static const std::shared_ptr<const Columns> one =
        std::make_shared<Columns>(Columns{{"one"}, {ORBOM_TYPE_INTEGER}});
    const Value name = TextValue(target_.schema);
    Selection rows;
    const ORBOM_RC rc = Query({"SELECT 1 FROM pg_namespace WHERE nspname=$1", {&name}}, one, &rows);
    if (rc != ORBOM_RC_SUCCESS || rows.count > 0) return rc;
    return Exec("CREATE SCHEMA \"" + target_.schema + "\"");
}

void PgStore::Forget() {
    if (cache_) cache_->Clear();
    if (inWork_) unitFailure_ = ORBOM_RC_REPOSITORY_CONNECTION_LOST;
    begun_ = false;
    depth_ = 0;
}

ORBOM_RC PgStore::Ready() {
    if (inWork_ && unitFailure_ != ORBOM_RC_SUCCESS) {
        link_.SetNativeError(0, unitFailure_ == ORBOM_RC_REPOSITORY_CONNECTION_LOST
                                    ? "the unit of work was lost with the connection to the server"
                                    : "the unit of work could not begin or go on; end it");
        return unitFailure_;
    }
    return link_.Connect(target_);
}

ORBOM_RC PgStore::Control(std::initializer_list<const std::string*> statements) {
    std::vector<PgLink::Step> steps;
    for (const std::string* sql : statements) steps.push_back(Plain(sql));
    const ORBOM_RC rc = link_.Exchange(steps);
    if (rc == ORBOM_RC_REPOSITORY_CONNECTION_LOST) Forget();
    return rc;
}

void PgStore::EndQuietly(const std::string& statement) {
    // Nothing of the transaction can be lost, so nothing waits for the
    // answer; a connection found gone at the next exchange is reported then.
    if (link_.connected() && link_.Post({Plain(&statement)}) != ORBOM_RC_SUCCESS) Forget();
}

ORBOM_RC PgStore::Run(const std::vector<PgLink::Step>& steps, Selection* rows, bool writes,
                      bool nest) {
    ORBOM_RC rc = Ready();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    // Inside a unit a failing statement must undo only itself; inside an
    // import the import fails whole, and alone the statements are one
    // implicit transaction. A unit's first statement carries its beginning.
    const bool wrap = nest && inWork_ && depth_ == 0;
    std::vector<PgLink::Step> all;
    size_t opening = 0;
    if (inWork_ && !begun_) {
        all = Opening();
        opening = all.size();
    } else if (writes && !inWork_ && depth_ == 0) {
        // A write alone waits for the repository's lock too, as every write
        // waits for the file's on SQLite: a unit's find-then-link never meets
        // a deletion half way (the lock ends with the implicit transaction).
        PgLink::Step lock;
        lock.sql = &lock_;
        all.push_back(lock);
    }
    if (wrap) all.push_back(Plain(&kSavepoint));
    all.insert(all.end(), steps.begin(), steps.end());
    if (wrap) all.push_back(Plain(&kRelease));
    for (int attempt = 1;; ++attempt) {
        if (rows) {
            auto columns = rows->columns;
            *rows = Selection();
            rows->columns = std::move(columns);
        }
        size_t failed = 0;
        rc = link_.Exchange(all, &failed);
        if (rc == ORBOM_RC_REPOSITORY_CONNECTION_LOST) {
            Forget();
            return rc;
        }
        if (rc != ORBOM_RC_SUCCESS && failed < opening) {
            // The unit never began (its lock not granted in time): it ends
            // with nothing done, and says so until it is ended.
            EndQuietly(kRollback);
            unitFailure_ = rc;
            return rc;
        }
        if (opening > 0) {
            begun_ = true;
            all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(opening));
            opening = 0;
        }
        if (rc == ORBOM_RC_SUCCESS) {
            if (writes && inWork_) wrote_ = true;
            return rc;
        }
        if (wrap) {
            const std::string state = link_.sqlstate();
            const int native = link_.nativeCode();
            const std::string message = link_.nativeMessage();
            const ORBOM_RC undo = Control({&kRollbackTo, &kRelease});
            if (undo != ORBOM_RC_SUCCESS) {
                // The unit is in a state no statement can run in.
                if (unitFailure_ == ORBOM_RC_SUCCESS) unitFailure_ = undo;
                return undo;
            }
            link_.SetNativeError(native, message);
            if (!Retryable(state) || attempt >= kAttempts) return rc;
            continue;
        }
        if (!Retryable(link_.sqlstate()) || depth_ > 0 || inWork_ || attempt >= kAttempts) {
            return rc;
        }
    }
}

ORBOM_RC PgStore::BeginLocked() {
    const ORBOM_RC rc = link_.Exchange(Opening());
    if (rc == ORBOM_RC_REPOSITORY_CONNECTION_LOST) return rc;
    // The lock not granted in time: the transaction BEGIN opened is over.
    if (rc != ORBOM_RC_SUCCESS) Control({&kRollback});
    return rc;
}

std::vector<PgLink::Step> PgStore::Opening() const {
    PgLink::Step lock;
    lock.sql = &lock_;
    return {Plain(&kBegin), lock};
}

ORBOM_RC PgStore::Query(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                        Selection* out) {
    *out = Selection();
    out->columns = columns;
    PgLink::Step step;
    step.sql = &sql.text;
    step.binds = &sql.binds;
    step.rows = out;
    const ORBOM_RC rc = Run({step}, out, false);
    if (rc != ORBOM_RC_SUCCESS) *out = Selection();
    return rc;
}

ORBOM_RC PgStore::Write(const std::vector<Sql>& statements, uint32_t* count) {
    uint32_t changed = 0;
    std::vector<PgLink::Step> steps;
    for (const Sql& sql : statements) {
        PgLink::Step step;
        step.sql = &sql.text;
        step.binds = &sql.binds;
        steps.push_back(step);
    }
    if (!steps.empty()) steps.back().changed = &changed;
    const ORBOM_RC rc = Run(steps, nullptr, true);
    if (rc == ORBOM_RC_SUCCESS && count) *count = changed;
    return rc;
}

ORBOM_RC PgStore::Exec(const std::string& sql) { return Run({Plain(&sql)}, nullptr, true); }

ORBOM_RC PgStore::BeginUnit() {
    if (inWork_ || depth_ > 0) return ORBOM_RC_SELECT_IN_PROGRESS;
    // The server hears of the unit with its first statement, which waits for
    // the repository's lock: a unit costs no round trip of its own.
    const ORBOM_RC rc = Ready();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    inWork_ = true;
    begun_ = wrote_ = countersInUnit_ = false;
    unitFailure_ = ORBOM_RC_SUCCESS;
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC PgStore::CommitUnit() {
    if (!inWork_) return ORBOM_RC_NO_SELECT;
    inWork_ = false;
    const ORBOM_RC failure = unitFailure_;
    unitFailure_ = ORBOM_RC_SUCCESS;
    if (failure != ORBOM_RC_SUCCESS) {
        if (begun_) EndQuietly(kRollback);
        begun_ = false;
        link_.SetNativeError(0, "the unit of work was lost; nothing of it was written");
        return failure;
    }
    if (!begun_) return ORBOM_RC_SUCCESS;
    begun_ = false;
    // A unit that only read has nothing a failed commit could lose.
    if (!wrote_) {
        EndQuietly(kCommit);
        return ORBOM_RC_SUCCESS;
    }
    const ORBOM_RC rc = Control({&kCommit});
    if (rc != ORBOM_RC_SUCCESS && rc != ORBOM_RC_REPOSITORY_CONNECTION_LOST) {
        EndQuietly(kRollback);
    }
    return rc;
}

ORBOM_RC PgStore::RollbackUnit() {
    if (!inWork_) return ORBOM_RC_NO_SELECT;
    inWork_ = false;
    unitFailure_ = ORBOM_RC_SUCCESS;
    // The server undoes the unit whatever happens here: a lost connection
    // takes its transaction with it.
    if (begun_) EndQuietly(kRollback);
    begun_ = false;
    return ORBOM_RC_SUCCESS;
}

ORBOM_RC PgStore::BeginWrite() {
    ORBOM_RC rc = Ready();
    if (rc != ORBOM_RC_SUCCESS) return rc;
    // Alone: a transaction with the repository's lock. Inside a unit (after
    // its beginning, when that is still to be sent) or another write: a
    // savepoint.
    rc = !inWork_ && depth_ == 0 ? BeginLocked() : Run({Plain(&kSavepoint)}, nullptr, true, false);
    if (rc == ORBOM_RC_SUCCESS) ++depth_;
    return rc;
}

ORBOM_RC PgStore::CommitWrite() {
    if (depth_ == 0) return ORBOM_RC_SUCCESS;
    const bool nested = inWork_ || depth_ > 1;
    const ORBOM_RC rc = Control({nested ? &kRelease : &kCommit});
    if (rc == ORBOM_RC_SUCCESS) --depth_;
    return rc;
}

void PgStore::RollbackWrite() {
    if (depth_ == 0) return;
    const bool nested = inWork_ || depth_ > 1;
    --depth_;
    if (!link_.connected()) return;
    const ORBOM_RC rc = nested ? Control({&kRollbackTo, &kRelease}) : Control({&kRollback});
    if (rc != ORBOM_RC_SUCCESS && nested && inWork_ && unitFailure_ == ORBOM_RC_SUCCESS) {
        unitFailure_ = rc;
    }
}

bool PgStore::InstallSignals() {
    static const std::shared_ptr<const Columns> text =
        std::make_shared<Columns>(Columns{{"value"}, {ORBOM_TYPE_STRING}});
    Selection rows;
    if (Query({"SELECT value FROM orb_meta WHERE key='change_signals'", {}}, text, &rows) !=
        ORBOM_RC_SUCCESS) {
        return false;
    }
    if (rows.count == 1 && rows.Bytes(0, 0) == "1") return true;
    std::vector<std::string> statements = {
        "CREATE TABLE IF NOT EXISTS orb_change(class text PRIMARY KEY, n bigint NOT NULL)",
        SignalFunctionSql(target_.schema)};
    for (const auto& entry : catalog().classes()) {
        statements.push_back(ChangeSignalSql(dialect_, entry.first));
    }
    statements.push_back(
        "INSERT INTO orb_meta(key, value) VALUES('change_signals', '1')"
        " ON CONFLICT (key) DO UPDATE SET value = '1'");
    // Under the repository's lock, as an import: two clients opening an
    // older repository at once install them once.
    ORBOM_RC rc = BeginWrite();
    for (const std::string& sql : statements) {
        if (rc == ORBOM_RC_SUCCESS) rc = Exec(sql);
    }
    if (rc == ORBOM_RC_SUCCESS) rc = CommitWrite();
    if (rc != ORBOM_RC_SUCCESS) RollbackWrite();
    return rc == ORBOM_RC_SUCCESS;
}

bool PgStore::EnableCache(size_t capBytes) {
    if (!InstallSignals()) {
        // A user without the right to add triggers works as before.
        link_.SetNativeError(0, "");
        return false;
    }
    target_.listen = ChannelOf(target_.schema);
    const std::string listen = "LISTEN \"" + target_.listen + "\"";
    if (Control({&listen}) != ORBOM_RC_SUCCESS) {
        target_.listen.clear();
        link_.SetNativeError(0, "");
        return false;
    }
    cacheSession_ = link_.session();
    return Store::EnableCache(capBytes);
}

void PgStore::TakeSignals() {
    if (link_.session() != cacheSession_) {
        cache_->Clear();
        cacheSession_ = link_.session();
    }
    std::vector<std::string> classes;
    if (!link_.Notifications(&classes)) {
        cache_->Clear();
        return;
    }
    for (const std::string& cls : classes) {
        cache_->Drop(cls);
        cache_->Unstamp(cls);
    }
}

PgLink::Step PgStore::CountersStep(Selection* rows) const {
    static const std::shared_ptr<const Columns> columns =
        std::make_shared<Columns>(Columns{{"class", "n"}, {ORBOM_TYPE_STRING, ORBOM_TYPE_INTEGER}});
    *rows = Selection();
    rows->columns = columns;
    PgLink::Step step;
    step.sql = &kCounters;
    step.rows = rows;
    return step;
}

void PgStore::TakeCounters(const Selection& rows) {
    // A session found anew while the exchange ran heard nothing before it.
    if (link_.session() != cacheSession_) {
        cache_->Clear();
        cacheSession_ = link_.session();
    }
    std::map<std::string, int64_t> counters;
    for (size_t row = 0; row < rows.count; ++row) {
        counters[rows.Bytes(row, 0)] = rows.Integer(row, 1);
    }
    cache_->Counters(counters);
    if (inWork_) countersInUnit_ = true;
}

ORBOM_RC PgStore::Freshen() {
    TakeSignals();
    // Inside a unit the counters come with its beginning and its lock, once:
    // no one who takes the lock writes until the unit ends.
    if (!inWork_ || countersInUnit_) return ORBOM_RC_SUCCESS;
    Selection counters;
    const ORBOM_RC rc = Run({CountersStep(&counters)}, nullptr, false);
    if (rc == ORBOM_RC_SUCCESS) TakeCounters(counters);
    return rc;
}

ORBOM_RC PgStore::CachedQuery(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                              Selection* out) {
    TakeSignals();
    *out = Selection();
    out->columns = columns;
    Selection counters;
    // The counters are read first, so the rows are never older than them.
    PgLink::Step rows;
    rows.sql = &sql.text;
    rows.binds = &sql.binds;
    rows.rows = out;
    const ORBOM_RC rc = Run({CountersStep(&counters), rows}, out, false);
    if (rc != ORBOM_RC_SUCCESS) {
        *out = Selection();
        return rc;
    }
    TakeCounters(counters);
    return rc;
}

}  // namespace orbom
