// A repository in a PostgreSQL schema, for sites whose repository serves
// many machines. The same tables as the SQLite file (statements.h); every
// client operation is one pipelined exchange with the server:
// - alone, its statements form one implicit transaction;
// - inside a unit of work they are wrapped in a savepoint, so that a failing
//   one undoes only itself;
// - a unit of work is BEGIN and a transaction-scoped advisory lock keyed by
//   the repository, so that units never overlap across processes, as
//   BEGIN IMMEDIATE keeps them apart on SQLite; class imports and writes
//   outside units take the same lock, as every write waits for SQLite's. Both travel with the
//   unit's first statement, and a unit that only read ends without waiting for the server's answer;
// - serialization failures and deadlocks are tried again a few times, then
//   answer 61; a lost connection answers 62 (a unit it was in is gone:
//   everything up to its end answers 62 too), and the next operation
//   connects anew;
// - with the read cache on, every class table carries a trigger that, per
//   writing statement, counts the class's change in orb_change and notifies
//   the repository's channel with the class's name at commit. Units read the
//   counters with their beginning (exact: they hold the lock); outside units
//   the notifications already on the socket are taken before the cache
//   answers (as late as the server delivers them), and every read the cache
//   keeps carries the counters in its exchange.
#pragma once

#include <string>
#include <string_view>

#include "framework/nwomapi/pg_link.h"
#include "framework/nwomapi/store.h"

namespace orbom {

class PgStore : public Store {
  public:
    explicit PgStore(PgTarget target);

    // Connects and checks that the schema holds a repository (7 when not).
    ORBOM_RC Open();
    // Makes the schema (when missing) and the repository in it; 65 when a
    // finished one is there already.
    ORBOM_RC Create(std::string_view frameworkClasses);

    // Installs the change signals when the repository lacks them (a
    // repository made before them), then listens; false (no cache) when the
    // server refuses them.
    bool EnableCache(size_t capBytes) override;

    int nativeCode() const override { return link_.nativeCode(); }
    const std::string& nativeMessage() const override { return link_.nativeMessage(); }

  protected:
    ORBOM_RC Query(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                   Selection* out) override;
    ORBOM_RC Write(const std::vector<Sql>& statements, uint32_t* count) override;
    ORBOM_RC Exec(const std::string& sql) override;
    ORBOM_RC BeginWrite() override;
    ORBOM_RC CommitWrite() override;
    void RollbackWrite() override;
    ORBOM_RC BeginUnit() override;
    ORBOM_RC CommitUnit() override;
    ORBOM_RC RollbackUnit() override;
    ORBOM_RC PrepareCreate() override;
    ORBOM_RC Freshen() override;
    ORBOM_RC CachedQuery(const Sql& sql, const std::shared_ptr<const Columns>& columns,
                         Selection* out) override;
    void SetNativeError(int code, const std::string& message) override {
        link_.SetNativeError(code, message);
    }

  private:
    // Connects when needed; the unit's failure while a unit that failed
    // (lost with the connection: 62) is still open.
    ORBOM_RC Ready();
    // One client operation's statements in one exchange, wrapped as the
    // transaction state needs (nest: in a savepoint inside a unit), after
    // the unit's beginning when that is still to be sent; retried on
    // serialization failures. writes: the statements change the repository.
    ORBOM_RC Run(const std::vector<PgLink::Step>& steps, Selection* rows, bool writes,
                 bool nest = true);
    // Transaction control as one exchange.
    ORBOM_RC Control(std::initializer_list<const std::string*> statements);
    // Ends the transaction without waiting for the answer.
    void EndQuietly(const std::string& statement);
    // BEGIN and the repository's lock: alone, and as a unit's first steps.
    ORBOM_RC BeginLocked();
    std::vector<PgLink::Step> Opening() const;
    // The connection went away with whatever transaction was open.
    void Forget();
    // The trigger function, its counters and a trigger on every class.
    bool InstallSignals();
    // Drops what other sessions signalled; a new session empties the cache.
    void TakeSignals();
    void TakeCounters(const Selection& rows);
    PgLink::Step CountersStep(Selection* rows) const;

    PgTarget target_;
    PgLink link_;
    std::string lock_;     // the statement taking the repository's lock
    bool inWork_ = false;  // a unit of work is open
    bool begun_ = false;   // ... and the server has begun it
    bool wrote_ = false;   // ... and it wrote
    // What the unit's operations answer once it cannot go on (62: lost with
    // the connection; 61: its lock was not granted in time).
    ORBOM_RC unitFailure_ = ORBOM_RC_SUCCESS;
    int depth_ = 0;                // BeginWrite levels open
    bool countersInUnit_ = false;  // the open unit has read the change counters
    uint64_t cacheSession_ = 0;    // the link's session the cache heard signals on
};

}  // namespace orbom
