// The tests' PostgreSQL server: ORB_TEST_PG holds its libpq connection
// string (scripts/test starts a private server with scripts/pg-server and
// sets it). Without the variable the PostgreSQL cases are skipped, saying
// why; with it set they run, and a server that does not answer fails them.
#pragma once

#include <string>
#include <vector>

namespace orbtest {

// The connection string; "" when ORB_TEST_PG is unset.
std::string PgConnection();
// The message a skipped PostgreSQL case gives.
inline constexpr const char* kPgSkip =
    "ORB_TEST_PG is not set: the PostgreSQL cases are skipped (scripts/test starts a private "
    "server and sets it; scripts/pg-server start DIR prints the value to use)";

// Runs one statement on the tests' server as its superuser; rows (may be
// null) get the result as text (null as "<null>"). False, with the server's
// message in *error, when it fails.
bool PgRun(const std::string& sql, std::vector<std::vector<std::string>>* rows = nullptr,
           std::string* error = nullptr);

// A schema of its own for one test, dropped with everything in it at the end.
class PgSchema {
  public:
    PgSchema();
    ~PgSchema();
    PgSchema(const PgSchema&) = delete;
    PgSchema& operator=(const PgSchema&) = delete;

    const std::string& name() const { return name_; }
    // Puts the current machine root's repository of that name into this
    // schema (the framework's registry settings); connection: another
    // connection string to the same server ("": the tests' one).
    void Register(const std::string& repository, const std::string& connection = "") const;

  private:
    std::string name_;
};

}  // namespace orbtest
