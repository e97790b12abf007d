// A tool's way into the repository: one kernel and at most one connection,
// released when the session ends, and a single error type that carries the
// repository's code so that every tool reports failures by the code's name.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/nwomapi/nwomapi.h"

namespace orbcli {

// The name callers show for a repository code ("ORBOM_RC_NO_MATCH").
std::string CodeName(ORBOM_RC rc);

// A failed step: the repository's code and what was being done.
class ToolError : public std::runtime_error {
  public:
    ToolError(ORBOM_RC rc, const std::string& what) : std::runtime_error(what), rc_(rc) {}
    ORBOM_RC rc() const { return rc_; }

  private:
    ORBOM_RC rc_;
};

// Throws ToolError(rc, what) unless rc is 0.
void Check(ORBOM_RC rc, const std::string& what);

// A tool's main: runs run(argc, argv); an error that escapes it is one line
// on standard error, "PROGRAM: ...", and exit status 1.
int RunTool(const char* program, int (*run)(int, char**), int argc, char** argv);

struct PropertyInfo {
    std::string name;
    int type = 0;
};

class Session {
  public:
    explicit Session(const char* clientName);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    ORBOM_KERNEL kernel() const { return kernel_; }
    ORBOM_CONNECTION connection() const { return connection_; }
    const std::string& repository() const { return repository_; }

    // The machine's repositories, the default one first; empty when none.
    std::vector<std::string> Repositories();
    // Connects to the named repository, or to the default one when name is
    // empty (ORBOM_RC_NO_MATCH when the machine has none).
    void Connect(const std::string& name);
    void CreateRepository(const std::string& name);
    // Puts the name in a PostgreSQL database (or, backend "sqlite", back in
    // the machine's file).
    void RegisterRepository(const std::string& name, const std::string& backend,
                            const std::string& connection, const std::string& schema);
    // The database's own text for the connection's last native failure.
    std::string NativeError();

    std::vector<std::string> Classes();
    // The class's properties in declaration order; ORBOM_RC_INVALID_CLASS
    // for a class the repository does not know.
    std::vector<PropertyInfo> Describe(const std::string& cls);

  private:
    ORBOM_KERNEL kernel_ = 0;
    ORBOM_CONNECTION connection_ = 0;
    std::string repository_;
};

}  // namespace orbcli
