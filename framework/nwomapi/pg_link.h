// One libpq connection to a PostgreSQL server, kept in pipeline mode: the
// statements of one client operation are sent together and their results
// read in one round trip. Statements that carry values are prepared once
// per connection and then only executed; values and rows travel in binary.
// A connection found lost is dropped, and the next exchange connects anew
// (and prepares again). Not thread-safe: the owning connection serialises
// its calls.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "framework/nwomapi/value.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace orbom {

// Where a repository lives on a server: a libpq connection string (never
// with a password: that comes from the password file) and the schema that
// holds its tables.
struct PgTarget {
    std::string connection;
    std::string schema;
    std::string application;  // shown beside the connection ("": "nwomapi")
    // When a commit is confirmed: "off" (before the server's log is on disk),
    // "on", "local", "remote_write" or "remote_apply".
    std::string synchronousCommit = "off";
    // The channel on which the repository's change signals arrive ("": none
    // listened to).
    std::string listen;
};

class PgLink {
  public:
    PgLink() = default;
    PgLink(const PgLink&) = delete;
    PgLink& operator=(const PgLink&) = delete;
    ~PgLink();

    // One statement of an exchange.
    struct Step {
        const std::string* sql = nullptr;
        const std::vector<const Value*>* binds = nullptr;  // null: none
        // Prepared once and kept (statements with values); otherwise sent
        // as text each time (transaction control, the schema's statements).
        bool prepared = true;
        Selection* rows = nullptr;    // rows typed by rows->columns (null: ignored)
        uint32_t* changed = nullptr;  // rows the statement changed (may be null)
    };

    // Connects (when not connected) and sets the session up: the schema,
    // the commit mode, the lock time-out. 0, 28 when the server wants a
    // password the password file does not give (or refuses it), 62 when the
    // server cannot be reached or refuses the connection.
    ORBOM_RC Connect(const PgTarget& target);
    bool connected() const { return conn_ != nullptr; }
    // Counts the connections made: a new value means a new session, which
    // heard nothing of what was signalled before it.
    uint64_t session() const { return sessions_; }
    // The payloads of the notifications other sessions sent that have
    // reached this one's socket, read without waiting for more; false when
    // the connection is gone (or none is open).
    bool Notifications(std::vector<std::string>* payloads);
    // Drops the connection; the next Connect makes a new one.
    void Drop();

    // Sends the steps as one pipeline and reads every result: one round
    // trip. Steps after a failing one are skipped by the server. 0, or the
    // failure's code (62 when the connection was lost, which drops it), with
    // the index of the failing step in *failed.
    ORBOM_RC Exchange(const std::vector<Step>& steps, size_t* failed = nullptr);
    // Sends statements whose answers nobody waits for (the end of a unit
    // that wrote nothing): the server runs them at once, and the next
    // exchange reads their answers past. Statements go as text.
    ORBOM_RC Post(const std::vector<Step>& steps);

    // The last failure: its SQLSTATE ("" for the client's own), its code as
    // the native code (the SQLSTATE's five characters packed six bits each,
    // as the server does) and "SQLSTATE xxxxx: message".
    const std::string& sqlstate() const { return sqlstate_; }
    int nativeCode() const { return nativeCode_; }
    const std::string& nativeMessage() const { return nativeMessage_; }
    void SetNativeError(int code, const std::string& message);

    // Round trips to a server made by this process, every connection
    // counted.
    static uint64_t RoundTrips();

  private:
    struct Prepared {
        std::string name;
        bool ready = false;  // the server has it
    };
    // What was queued: a statement's preparation, or (null) the statement.
    struct Sent {
        Prepared* preparation;
    };
    ORBOM_RC Lost(const std::string& message);
    ORBOM_RC Failure(const PGresult* result);
    ORBOM_RC Send(const Step& step, std::vector<Sent>* sent);
    bool ReadRows(const PGresult* result, Selection* rows);
    // Reads the answers of what Post sent.
    ORBOM_RC Drain();
    // The next answer, polled for a short while before waiting for it.
    PGresult* NextResult();

    PGconn* conn_ = nullptr;
    uint64_t sessions_ = 0;
    // Statement text and value types -> its prepared statement.
    std::unordered_map<std::string, Prepared> prepared_;
    uint64_t named_ = 0;
    bool failedHere_ = false;  // the server refused a statement of this exchange
    int posted_ = 0;           // pipelines sent by Post whose answers are unread
    std::string sqlstate_;
    int nativeCode_ = 0;
    std::string nativeMessage_;
};

// The server's error class of a SQLSTATE, as the client answers it.
ORBOM_RC CodeOfSqlstate(const std::string& sqlstate);
// A connection string that libpq reads and that holds no password; false
// (with the reason) otherwise.
bool CheckConnectionString(const std::string& connection, std::string* why);
// A schema name the repository accepts: letters, digits and '_', 1 to 63.
bool IsValidSchemaName(const std::string& schema);
// A value of the server's synchronous_commit setting.
bool IsValidSynchronousCommit(const std::string& value);

}  // namespace orbom
