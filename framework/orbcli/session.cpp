#include "framework/orbcli/session.h"

#include <iostream>

namespace orbcli {
namespace {

// Names are at most 31 characters; room for the terminator and slack.
constexpr uint32_t kNameBuffer = 64;

}  // namespace

std::string CodeName(ORBOM_RC rc) {
#define ORBCLI_CODE_ROW(code, name) \
    case code:                      \
        return name;
    switch (rc) {
        ORBOM_RC_FOREACH(ORBCLI_CODE_ROW)
        default:
            return "code " + std::to_string(rc);
    }
#undef ORBCLI_CODE_ROW
}

void Check(ORBOM_RC rc, const std::string& what) {
    if (rc != ORBOM_RC_SUCCESS) throw ToolError(rc, what);
}

int RunTool(const char* program, int (*run)(int, char**), int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const ToolError& e) {
        std::cerr << program << ": " << CodeName(e.rc()) << " (" << e.rc() << "): " << e.what()
                  << "\n";
    } catch (const std::exception& e) {
        std::cerr << program << ": " << e.what() << "\n";
    }
    return 1;
}

namespace {

// A failure to reach a repository, with the database's own word on it when
// it gave one (kept on connection 0, since no connection was made).
void CheckReached(ORBOM_RC rc, const std::string& what) {
    if (rc == ORBOM_RC_SUCCESS) return;
    char buffer[ORBOM_NATIVE_ERROR_SIZE] = "";
    int32_t code = 0;
    ORBOM_Repository_GetNativeError(0, buffer, sizeof buffer, &code);
    throw ToolError(rc, buffer[0] ? what + ": " + buffer : what);
}

}  // namespace

Session::Session(const char* clientName) {
    Check(ORBOM_Kernel_Start(clientName, &kernel_, 0), "cannot start the repository client");
}

Session::~Session() {
    if (connection_ != 0) ORBOM_Repository_Disconnect(&connection_);
    if (kernel_ != 0) ORBOM_Kernel_Stop(&kernel_);
}

std::vector<std::string> Session::Repositories() {
    Check(ORBOM_Repository_EnumBegin(kernel_, ORBOM_ENUM_DEFAULT_FIRST),
          "cannot list the repositories");
    std::vector<std::string> names;
    char buffer[kNameBuffer];
    for (;;) {
        const ORBOM_RC rc = ORBOM_Repository_EnumNext(kernel_, buffer, sizeof buffer);
        if (rc == ORBOM_RC_END_OF_DATA || rc == ORBOM_RC_NO_MATCH) return names;
        Check(rc, "cannot list the repositories");
        names.emplace_back(buffer);
    }
}

void Session::Connect(const std::string& name) {
    std::string target = name;
    if (target.empty()) {
        const std::vector<std::string> all = Repositories();
        if (all.empty()) throw ToolError(ORBOM_RC_NO_MATCH, "this machine has no repository");
        target = all.front();
    }
    CheckReached(ORBOM_Repository_Connect(kernel_, target.c_str(), &connection_),
                 "cannot connect to repository \"" + target + "\"");
    repository_ = target;
}

void Session::CreateRepository(const std::string& name) {
    CheckReached(ORBOM_Repository_Create(kernel_, name.c_str()),
                 "cannot create repository \"" + name + "\"");
}

void Session::RegisterRepository(const std::string& name, const std::string& backend,
                                 const std::string& connection, const std::string& schema) {
    CheckReached(ORBOM_Repository_Register(kernel_, name.c_str(), backend.c_str(),
                                           connection.c_str(), schema.c_str()),
                 "cannot place repository \"" + name + "\"");
}

std::string Session::NativeError() {
    char buffer[ORBOM_NATIVE_ERROR_SIZE] = "";
    int32_t code = 0;
    if (ORBOM_Repository_GetNativeError(connection_, buffer, sizeof buffer, &code) != 0) return "";
    return buffer;
}

std::vector<std::string> Session::Classes() {
    std::vector<std::string> names;
    char buffer[kNameBuffer];
    for (uint32_t index = 0;; ++index) {
        const ORBOM_RC rc = ORBOM_Class_Enum(connection_, index, buffer, sizeof buffer);
        if (rc == ORBOM_RC_END_OF_DATA) return names;
        Check(rc, "cannot list the classes");
        names.emplace_back(buffer);
    }
}

std::vector<PropertyInfo> Session::Describe(const std::string& cls) {
    std::vector<PropertyInfo> properties;
    char buffer[kNameBuffer];
    for (uint32_t index = 0;; ++index) {
        uint32_t type = 0;
        const ORBOM_RC rc = ORBOM_Class_GetPropertyInfo(connection_, cls.c_str(), index, buffer,
                                                        sizeof buffer, &type);
        if (rc == ORBOM_RC_END_OF_DATA) return properties;
        Check(rc, "cannot describe class \"" + cls + "\"");
        properties.push_back({buffer, static_cast<int>(type)});
    }
}

}  // namespace orbcli
