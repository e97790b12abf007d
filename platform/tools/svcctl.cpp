// svcctl: the operators' command for the simulated services of a machine root.
//   svcctl create NAME [--display TEXT] [--delay MS] [--command LINE]
//   svcctl delete NAME | start NAME | stop NAME
//   svcctl query NAME          prints the state name (RUNNING, STOPPED, ...)
// It always works on the simulated backend (ORB_SERVICE_BACKEND is not consulted).
// Exit code 0 on success, else 1 with the Win32 error on standard error.
#include <cstdio>
#include <memory>
#include <utility>
#include <string>

#include <CLI/CLI.hpp>

#include "platform/registry.h"
#include "platform/scm.h"

namespace {

int Fail(const std::string& what, const std::string& name) {
    std::fprintf(stderr, "svcctl: %s %s failed, error %u\n", what.c_str(), name.c_str(),
                 static_cast<unsigned>(GetLastError()));
    return 1;
}

// Runs one operation on an opened service, closing every handle on the way out.
template <typename Op>
int WithService(const std::string& name, DWORD access, const std::string& what, Op op) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (manager == nullptr) return Fail(what, name);
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), access);
    int rc = service == nullptr ? Fail(what, name) : (op(service) ? 0 : Fail(what, name));
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return rc;
}

int Create(const std::string& name, const std::string& display, int delayMs,
           const std::string& command) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    if (manager == nullptr) return Fail("create", name);
    SC_HANDLE service = CreateServiceA(manager, name.c_str(), display.empty() ? nullptr : display.c_str(),
                                       SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS, 3, 1,
                                       command.empty() ? nullptr : command.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr);
    int rc = service == nullptr ? Fail("create", name) : 0;
    if (service != nullptr) CloseServiceHandle(service);
    CloseServiceHandle(manager);
    if (rc == 0 && delayMs >= 0 &&
        orb::RegSetDword("SYSTEM\\CurrentControlSet\\Services\\" + name, "TransitionDelay",
                         static_cast<DWORD>(delayMs)) != ERROR_SUCCESS)
        return Fail("create", name);
    return rc;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Start, stop and query the machine's simulated services"};
    app.require_subcommand(1);
    std::string name, display, command;
    int delayMs = -1;

    CLI::App* create = app.add_subcommand("create", "install a service (stopped)");
    create->add_option("NAME", name)->required();
    create->add_option("--display", display, "display name");
    create->add_option("--delay", delayMs, "milliseconds a start or stop stays pending")
        ->check(CLI::Range(0, 3600000));
    create->add_option("--command", command,
                       "the service's program and arguments: start and stop run and end it");
    const std::pair<const char*, const char*> verbs[] = {
        {"delete", "remove a service"},
        {"start", "start a service (START_PENDING, then RUNNING)"},
        {"stop", "stop a service (STOP_PENDING, then STOPPED)"},
        {"query", "print the state name"}};
    for (const auto& [verb, help] : verbs)
        app.add_subcommand(verb, help)->add_option("NAME", name)->required();
    CLI11_PARSE(app, argc, argv);
    // The operators' command always works on the simulated services, whatever
    // backend the machine's programs are configured for.
    std::unique_ptr<orb::ServiceManager> simulated = orb::MakeSimulatedServiceManager();
    orb::SetServiceManager(simulated.get());

    const std::string verb = app.get_subcommands().front()->get_name();
    if (verb == "create") return Create(name, display, delayMs, command);
    if (verb == "delete")
        return WithService(name, DELETE, verb, [](SC_HANDLE s) { return DeleteService(s) != FALSE; });
    if (verb == "start")
        return WithService(name, SERVICE_START, verb,
                           [](SC_HANDLE s) { return StartServiceA(s, 0, nullptr) != FALSE; });
    if (verb == "stop")
        return WithService(name, SERVICE_STOP, verb, [](SC_HANDLE s) {
            SERVICE_STATUS status;
            return ControlService(s, SERVICE_CONTROL_STOP, &status) != FALSE;
        });
    return WithService(name, SERVICE_QUERY_STATUS, verb, [](SC_HANDLE s) {
        SERVICE_STATUS status;
        if (!QueryServiceStatus(s, &status)) return false;
        std::printf("%s\n", orb::ServiceStateName(status.dwCurrentState));
        return true;
    });
}
