#include "framework/nwomapi/pg_link.h"

#include <libpq-fe.h>

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "platform/sync.h"

namespace orbom {

namespace {

// Type identifiers of the server's built-in types, as its catalog numbers
// them (they never change).
constexpr Oid kBool = 16, kBytea = 17, kInt2 = 21, kInt4 = 23, kText = 25, kFloat8 = 701,
              kUuid = 2950;
constexpr int kBinary = 1;

// How long a statement waits for a lock another connection holds (a unit of
// work, a class import) before it answers 61: as long as the SQLite store's
// three busy time-outs.
constexpr const char* kLockTimeout = "15s";
// A server that does not answer a connection attempt in this time is taken
// for unreachable, unless the connection string says otherwise.
constexpr const char* kConnectTimeout = "10";

std::atomic<uint64_t> roundTrips{0};

// Polls for an answer before the client blocks for it: waking from a
// blocking wait costs more than the round trip itself on a virtual machine
// (measured here: 65-75 us a round trip blocking, 24-25 us polling). Each
// poll gives the processor away, so the server (or anyone else) runs first;
// a few hundred polls last a fraction of a millisecond.
constexpr int kAnswerPolls = 400;

Oid TypeOid(uint32_t type) {
    switch (type) {
        case ORBOM_TYPE_INTEGER:
            return kInt4;
        case ORBOM_TYPE_DOUBLE:
            return kFloat8;
        case ORBOM_TYPE_UUID:
            return kUuid;
        case ORBOM_TYPE_BOOLEAN:
            return kBool;
        case ORBOM_TYPE_CHAR:
            return kInt2;
        case ORBOM_TYPE_BINARY:
            return kBytea;
        default:
            return kText;
    }
}

void PutBigEndian(uint64_t v, size_t bytes, std::string* out) {
    for (size_t i = bytes; i-- > 0;) out->push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

int64_t GetBigEndian(const char* data, size_t bytes) {
    uint64_t v = 0;
    for (size_t i = 0; i < bytes; ++i) v = (v << 8) | static_cast<unsigned char>(data[i]);
    // Sign-extend from the value's width.
    const unsigned shift = static_cast<unsigned>(64 - 8 * bytes);
    return bytes == 0 || bytes >= 8 ? static_cast<int64_t>(v)
                                    : static_cast<int64_t>(v << shift) >> shift;
}

// The client's UUIDs keep their first three fields in host order; the
// server's are big-endian throughout, so that the server shows the same text
// as the client does. The swap is its own inverse.
std::string SwapUuid(const std::string& bytes) {
    std::string out = bytes;
    if (out.size() != 16) return out;
    std::swap(out[0], out[3]);
    std::swap(out[1], out[2]);
    std::swap(out[4], out[5]);
    std::swap(out[6], out[7]);
    return out;
}

// A value in the server's binary form of its column type.
std::string Encode(const Value& value) {
    const std::string& b = value.bytes;
    std::string out;
    switch (value.type) {
        case ORBOM_TYPE_INTEGER: {
            int32_t i = 0;
            std::memcpy(&i, b.data(), sizeof i);
            PutBigEndian(static_cast<uint32_t>(i), 4, &out);
            return out;
        }
        case ORBOM_TYPE_DOUBLE: {
            uint64_t bits = 0;
            std::memcpy(&bits, b.data(), sizeof bits);
            PutBigEndian(bits, 8, &out);
            return out;
        }
        case ORBOM_TYPE_BOOLEAN: {
            int32_t i = 0;
            std::memcpy(&i, b.data(), sizeof i);
            out.push_back(i != 0 ? 1 : 0);
            return out;
        }
        case ORBOM_TYPE_CHAR:
            PutBigEndian(static_cast<unsigned char>(b[0]), 2, &out);
            return out;
        case ORBOM_TYPE_UUID:
            return SwapUuid(b);
        default:
            return b;
    }
}

// Appends one column of a binary row in the client's layout.
void Decode(const char* data, int length, uint32_t type, Selection* rows) {
    const size_t n = static_cast<size_t>(length);
    switch (type) {
        case ORBOM_TYPE_INTEGER:
        case ORBOM_TYPE_BOOLEAN: {
            const auto i = static_cast<int32_t>(GetBigEndian(data, std::min<size_t>(n, 8)));
            const int32_t v = type == ORBOM_TYPE_BOOLEAN ? (i != 0 ? 1 : 0) : i;
            rows->Append(&v, sizeof v);
            return;
        }
        case ORBOM_TYPE_DOUBLE: {
            const auto bits = static_cast<uint64_t>(GetBigEndian(data, std::min<size_t>(n, 8)));
            double d = 0;
            std::memcpy(&d, &bits, sizeof d);
            rows->Append(&d, sizeof d);
            return;
        }
        case ORBOM_TYPE_CHAR: {
            const char c = static_cast<char>(GetBigEndian(data, std::min<size_t>(n, 8)));
            rows->Append(&c, 1);
            return;
        }
        case ORBOM_TYPE_UUID: {
            const std::string swapped = SwapUuid(std::string(data, n));
            rows->Append(swapped.data(), swapped.size());
            return;
        }
        default:
            rows->Append(data, n);
            return;
    }
}

int PackSqlstate(const std::string& state) {
    // The server's own packing (six bits per character), so codes compare
    // with its error code table.
    int code = 0;
    for (size_t i = 0; i < state.size() && i < 5; ++i) {
        code += ((state[i] - '0') & 0x3F) << (6 * i);
    }
    return code;
}

std::string Trimmed(const char* text) {
    std::string s = text ? text : "";
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
    return s;
}

}  // namespace

PgLink::~PgLink() { Drop(); }

void PgLink::Drop() {
    if (conn_) PQfinish(conn_);
    conn_ = nullptr;
    prepared_.clear();
    posted_ = 0;
}

ORBOM_RC PgLink::Post(const std::vector<Step>& steps) {
    failedHere_ = false;
    if (!conn_) return Lost("not connected to the server");
    std::vector<Sent> sent;
    for (Step step : steps) {
        step.prepared = false;
        const ORBOM_RC rc = Send(step, &sent);
        if (rc != ORBOM_RC_SUCCESS) return rc;
    }
    if (PQpipelineSync(conn_) != 1) return Lost(Trimmed(PQerrorMessage(conn_)));
    ++posted_;
    return ORBOM_RC_SUCCESS;
}

PGresult* PgLink::NextResult() {
    for (int poll = 0; poll < kAnswerPolls && PQisBusy(conn_); ++poll) {
        if (PQconsumeInput(conn_) != 1 || !PQisBusy(conn_)) break;
        orb::SleepMs(0);
    }
    return PQgetResult(conn_);
}

ORBOM_RC PgLink::Drain() {
    int nulls = 0;
    while (posted_ > 0) {
        PGresult* result = NextResult();
        if (PQstatus(conn_) == CONNECTION_BAD) {
            PQclear(result);
            return Lost(Trimmed(PQerrorMessage(conn_)));
        }
        if (!result) {
            // One null ends each statement's answers; more in a row mean the
            // answers are out of step.
            if (++nulls > 1) return Lost("the server's answers were out of step");
            continue;
        }
        nulls = 0;
        if (PQresultStatus(result) == PGRES_PIPELINE_SYNC) --posted_;
        PQclear(result);
    }
    return ORBOM_RC_SUCCESS;
}

uint64_t PgLink::RoundTrips() { return roundTrips.load(); }

bool PgLink::Notifications(std::vector<std::string>* payloads) {
    if (!conn_) return false;
    // A server that ended the session sent its reason, then closed: the
    // close is seen only by a read after the one that took the reason.
    for (int read = 0; read < 2; ++read) {
        if (PQconsumeInput(conn_) != 1 || PQstatus(conn_) == CONNECTION_BAD) return false;
    }
    // The session's own writes were dropped by the client as it made them.
    const int self = PQbackendPID(conn_);
    while (PGnotify* notify = PQnotifies(conn_)) {
        if (notify->be_pid != self) payloads->push_back(notify->extra ? notify->extra : "");
        PQfreemem(notify);
    }
    return true;
}

void PgLink::SetNativeError(int code, const std::string& message) {
    sqlstate_.clear();
    nativeCode_ = code;
    nativeMessage_ = message;
}

ORBOM_RC PgLink::Connect(const PgTarget& target) {
    if (conn_) return ORBOM_RC_SUCCESS;
    std::string why;
    if (!CheckConnectionString(target.connection, &why)) {
        SetNativeError(0, why);
        return ORBOM_RC_INVALID_REPOSITORY;
    }
    // The connection string is expanded in place: what it says about the
    // time-out wins over ours, and nothing after it can add a password.
    const char* keys[] = {"connect_timeout", "fallback_application_name", "dbname", nullptr};
    const char* values[] = {kConnectTimeout,
                            target.application.empty() ? "nwomapi" : target.application.c_str(),
                            target.connection.c_str(), nullptr};
    failedHere_ = false;
    conn_ = PQconnectdbParams(keys, values, 1);
    ++roundTrips;
    if (!conn_ || PQstatus(conn_) != CONNECTION_OK) {
        const bool password =
            conn_ && (PQconnectionNeedsPassword(conn_) || PQconnectionUsedPassword(conn_));
        SetNativeError(0, conn_ ? Trimmed(PQerrorMessage(conn_)) : "out of memory");
        Drop();
        return password ? ORBOM_RC_REPOSITORY_LOGIN_FAILED : ORBOM_RC_REPOSITORY_CONNECTION_LOST;
    }
    // The server's notices and warnings ("there is no transaction in
    // progress") are nothing the client's callers could act on; libpq would
    // print them on the program's standard error.
    PQsetNoticeProcessor(
        conn_, [](void*, const char*) {}, nullptr);
    // By default commits do not wait for the server's log to reach the disk:
    // as with the SQLite store's synchronous=NORMAL, a crash of the server's
    // machine may lose the last commits, never consistency.
    const std::string setup = "SET search_path TO \"" + target.schema +
                              "\"; SET synchronous_commit TO " + target.synchronousCommit +
                              "; SET lock_timeout TO '" + kLockTimeout + "'" +
                              (target.listen.empty() ? "" : "; LISTEN \"" + target.listen + "\"");
    PGresult* result = PQexec(conn_, setup.c_str());
    ++roundTrips;
    ORBOM_RC rc = ORBOM_RC_SUCCESS;
    if (PQresultStatus(result) != PGRES_COMMAND_OK) rc = Failure(result);
    PQclear(result);
    if (rc == ORBOM_RC_SUCCESS && PQenterPipelineMode(conn_) != 1) {
        rc = Lost("cannot enter pipeline mode: " + Trimmed(PQerrorMessage(conn_)));
    }
    if (rc != ORBOM_RC_SUCCESS) Drop();
    if (rc == ORBOM_RC_SUCCESS) ++sessions_;
    return rc == ORBOM_RC_SUCCESS || rc == ORBOM_RC_REPOSITORY_LOGIN_FAILED
               ? rc
               : ORBOM_RC_REPOSITORY_CONNECTION_LOST;
}

ORBOM_RC PgLink::Lost(const std::string& message) {
    // The server's own word on why it ended the session, when it gave one.
    if (!failedHere_ || sqlstate_.empty()) SetNativeError(0, message);
    Drop();
    return ORBOM_RC_REPOSITORY_CONNECTION_LOST;
}

ORBOM_RC PgLink::Failure(const PGresult* result) {
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    failedHere_ = true;
    sqlstate_ = state ? state : "";
    nativeCode_ = PackSqlstate(sqlstate_);
    const std::string text =
        primary ? std::string(primary)
                : Trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(conn_));
    nativeMessage_ = sqlstate_.empty() ? text : "SQLSTATE " + sqlstate_ + ": " + text;
    return CodeOfSqlstate(sqlstate_);
}

// Queues one step (and, the first time, the preparation of its statement).
ORBOM_RC PgLink::Send(const Step& step, std::vector<Sent>* sent) {
    static const std::vector<const Value*> kNone;
    const std::vector<const Value*>& binds = step.binds ? *step.binds : kNone;
    std::vector<std::string> encoded(binds.size());
    std::vector<const char*> values(binds.size());
    std::vector<int> lengths(binds.size()), formats(binds.size(), kBinary);
    std::vector<Oid> types(binds.size());
    std::string key = *step.sql;
    key += '\x1f';
    for (size_t i = 0; i < binds.size(); ++i) {
        types[i] = TypeOid(binds[i]->type);
        key += static_cast<char>('A' + binds[i]->type);
        if (binds[i]->null) continue;
        encoded[i] = Encode(*binds[i]);
        values[i] = encoded[i].data();
        lengths[i] = static_cast<int>(encoded[i].size());
    }
    const int n = static_cast<int>(binds.size());
    if (!step.prepared) {
        sent->push_back({nullptr});
        return PQsendQueryParams(conn_, step.sql->c_str(), n, types.data(), values.data(),
                                 lengths.data(), formats.data(), kBinary) == 1
                   ? ORBOM_RC_SUCCESS
                   : Lost(Trimmed(PQerrorMessage(conn_)));
    }
    auto it = prepared_.find(key);
    if (it == prepared_.end()) {
        it = prepared_.emplace(key, Prepared{"orb" + std::to_string(++named_), false}).first;
        if (PQsendPrepare(conn_, it->second.name.c_str(), step.sql->c_str(), n, types.data()) !=
            1) {
            return Lost(Trimmed(PQerrorMessage(conn_)));
        }
        sent->push_back({&it->second});
    }
    sent->push_back({nullptr});
    return PQsendQueryPrepared(conn_, it->second.name.c_str(), n, values.data(), lengths.data(),
                               formats.data(), kBinary) == 1
               ? ORBOM_RC_SUCCESS
               : Lost(Trimmed(PQerrorMessage(conn_)));
}

bool PgLink::ReadRows(const PGresult* result, Selection* rows) {
    const std::vector<uint32_t>& types = rows->columns->types;
    const int count = PQntuples(result);
    const int fields = PQnfields(result);
    for (int row = 0; row < count; ++row) {
        for (size_t i = 0; i < types.size(); ++i) {
            const int column = static_cast<int>(i);
            if (column >= fields || PQgetisnull(result, row, column)) {
                rows->Append(nullptr, 0);
            } else {
                Decode(PQgetvalue(result, row, column), PQgetlength(result, row, column), types[i],
                       rows);
            }
        }
        ++rows->count;
        if (!rows->Fits()) return false;
    }
    return true;
}

ORBOM_RC PgLink::Exchange(const std::vector<Step>& steps, size_t* failed) {
    failedHere_ = false;
    if (!conn_) return Lost("not connected to the server");
    std::vector<Sent> sent;
    for (const Step& step : steps) {
        const ORBOM_RC rc = Send(step, &sent);
        if (rc != ORBOM_RC_SUCCESS) return rc;
    }
    if (PQpipelineSync(conn_) != 1) return Lost(Trimmed(PQerrorMessage(conn_)));
    ++roundTrips;
    // What was posted before was sent before, so its answers come first.
    ORBOM_RC rc = Drain();
    if (rc != ORBOM_RC_SUCCESS) return rc;

    size_t step = 0;
    for (const Sent& item : sent) {
        PGresult* result = NextResult();
        if (!result) return Lost(Trimmed(PQerrorMessage(conn_)));
        const ExecStatusType status = PQresultStatus(result);
        const bool ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (status == PGRES_FATAL_ERROR && rc == ORBOM_RC_SUCCESS) {
            rc = Failure(result);
            if (failed) *failed = step;
        } else if (ok && item.preparation) {
            item.preparation->ready = true;
        } else if (ok && rc == ORBOM_RC_SUCCESS) {
            const Step& s = steps[step];
            if (s.rows && status == PGRES_TUPLES_OK && !ReadRows(result, s.rows)) {
                SetNativeError(0, "the selection is too large");
                rc = ORBOM_RC_OUT_OF_MEMORY;
                if (failed) *failed = step;
            }
            if (s.changed) *s.changed = static_cast<uint32_t>(std::atoll(PQcmdTuples(result)));
        }
        PQclear(result);
        // Each statement's results end with a null.
        while ((result = NextResult()) != nullptr) PQclear(result);
        if (PQstatus(conn_) == CONNECTION_BAD) return Lost(Trimmed(PQerrorMessage(conn_)));
        if (!item.preparation) ++step;
    }
    // Preparations the server refused or skipped are sent again next time.
    for (const Sent& item : sent) {
        if (!item.preparation || item.preparation->ready) continue;
        for (auto it = prepared_.begin(); it != prepared_.end(); ++it) {
            if (&it->second == item.preparation) {
                prepared_.erase(it);
                break;
            }
        }
    }
    PGresult* sync = NextResult();
    const bool synced = sync && PQresultStatus(sync) == PGRES_PIPELINE_SYNC;
    PQclear(sync);
    if (!synced) {
        return Lost("the server's answers were out of step: " + Trimmed(PQerrorMessage(conn_)));
    }
    return rc;
}

ORBOM_RC CodeOfSqlstate(const std::string& state) {
    if (state.empty()) return ORBOM_RC_REPOSITORY_NATIVE_ERROR;
    // Serialization failures and deadlocks (retried before they get here),
    // and a lock still held after the time-out.
    if (state == "40001" || state == "40P01" || state == "55P03") {
        return ORBOM_RC_REPOSITORY_CONNECTION_BUSY;
    }
    if (state == "XX001" || state == "XX002") return ORBOM_RC_REPOSITORY_DAMAGED;
    // Connection exceptions; the server shutting down or ending the session.
    if (state.compare(0, 2, "08") == 0 || state == "57P01" || state == "57P02" ||
        state == "57P03") {
        return ORBOM_RC_REPOSITORY_CONNECTION_LOST;
    }
    return ORBOM_RC_REPOSITORY_NATIVE_ERROR;
}

bool CheckConnectionString(const std::string& connection, std::string* why) {
    char* error = nullptr;
    PQconninfoOption* options = PQconninfoParse(connection.c_str(), &error);
    if (!options) {
        *why = "the connection string is not valid: " + Trimmed(error ? error : "out of memory");
        if (error) PQfreemem(error);
        return false;
    }
    bool password = false;
    for (PQconninfoOption* o = options; o->keyword; ++o) {
        if (std::strcmp(o->keyword, "password") == 0 && o->val && *o->val) password = true;
    }
    PQconninfoFree(options);
    if (password) {
        *why = "the connection string holds a password; the password file must give it";
        return false;
    }
    return true;
}

bool IsValidSchemaName(const std::string& schema) {
    if (schema.empty() || schema.size() > 63) return false;
    for (unsigned char c : schema) {
        if (!std::isalnum(c) && c != '_') return false;
    }
    return true;
}

bool IsValidSynchronousCommit(const std::string& value) {
    for (const char* known : {"off", "on", "local", "remote_write", "remote_apply"}) {
        if (value == known) return true;
    }
    return false;
}

}  // namespace orbom
