#include "tests/pgtest/pg_scratch.h"

#include <libpq-fe.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "platform/registry.h"

namespace orbtest {

std::string PgConnection() {
    const char* value = std::getenv("ORB_TEST_PG");
    return value ? value : "";
}

bool PgRun(const std::string& sql, std::vector<std::vector<std::string>>* rows,
           std::string* error) {
    PGconn* conn = PQconnectdb(PgConnection().c_str());
    bool ok = PQstatus(conn) == CONNECTION_OK;
    // The server's notices ("drop cascades to ...") are not the test's output.
    PQsetNoticeProcessor(conn, [](void*, const char*) {}, nullptr);
    if (!ok && error) *error = PQerrorMessage(conn);
    if (ok) {
        PGresult* result = PQexec(conn, sql.c_str());
        const ExecStatusType status = PQresultStatus(result);
        ok = status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
        if (!ok && error) *error = PQresultErrorMessage(result);
        if (ok && rows) {
            rows->clear();
            for (int r = 0; r < PQntuples(result); ++r) {
                std::vector<std::string> row;
                for (int c = 0; c < PQnfields(result); ++c) {
                    row.push_back(PQgetisnull(result, r, c) ? "<null>" : PQgetvalue(result, r, c));
                }
                rows->push_back(std::move(row));
            }
        }
        PQclear(result);
    }
    PQfinish(conn);
    return ok;
}

PgSchema::PgSchema() {
    static std::atomic<int> next{0};
    name_ = "orbtest_" + std::to_string(getpid()) + "_" + std::to_string(++next);
}

PgSchema::~PgSchema() { PgRun("DROP SCHEMA IF EXISTS \"" + name_ + "\" CASCADE"); }

void PgSchema::Register(const std::string& repository, const std::string& connection) const {
    const std::string key =
        "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Repositories\\" + repository;
    orb::RegSetString(key, "Backend", "postgresql");
    orb::RegSetString(key, "Connection", connection.empty() ? PgConnection() : connection);
    orb::RegSetString(key, "Schema", name_);
}

}  // namespace orbtest
