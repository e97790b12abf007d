// snmphost: the SNMP service. Loads the extension agents registered in the
// registry and serves them over SNMPv1, SNMPv2c and SNMPv3, standalone on a UDP
// address or as an AgentX subagent of the system's master agent.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/registry.h"
#include "platform/wakeup.h"
#include "snmphost/agent.h"
#include "snmphost/config.h"
#include "snmphost/engine.h"
#include "snmphost/netsnmp.h"
#include "snmphost/notify.h"
#include "snmphost/traps.h"

namespace {

using snmphost::Log;

struct Service {
    std::vector<std::unique_ptr<snmphost::ExtensionAgent>> agents;
    orb::Wakeup wakeup;
    std::unique_ptr<snmphost::TrapPump> traps;
    snmphost::Notifications notifications;
};

std::vector<std::unique_ptr<snmphost::ExtensionAgent>> LoadAgents(
    const snmphost::ServiceConfig& config) {
    std::vector<std::unique_ptr<snmphost::ExtensionAgent>> agents;
    const DWORD timeZero = GetTickCount();
    for (const snmphost::AgentRegistration& entry : config.agents) {
        auto agent = std::make_unique<snmphost::ExtensionAgent>();
        std::string error;
        if (!agent->Load(entry.pathname, &error) || !agent->Init(timeZero, &error)) {
            Log(LOG_ERR, error + " (agent key \"" + entry.key + "\")");
            continue;
        }
        Log(LOG_INFO, "agent \"" + entry.pathname + "\" serves " +
                          orb::OidToText({static_cast<UINT>(agent->View().size()),
                                          const_cast<UINT*>(agent->View().data())}));
        agents.push_back(std::move(agent));
    }
    return agents;
}

// Who may ask, standalone; refusals were logged while reading.
void LogAccess(const snmphost::ServiceConfig& config, const snmphost::UsmConfig& usm) {
    for (const std::string& warning : usm.warnings) Log(LOG_WARNING, warning);
    if (usm.v3Only)
        Log(LOG_INFO,
            "SNMPv3 only (\"SNMPv3Only\"): no community is served; SNMPv1 and "
            "SNMPv2c requests get no answer");
    const bool communities = !usm.v3Only && !config.communities.empty();
    if (!communities && usm.users.empty())
        Log(LOG_WARNING, usm.v3Only ? "no usable SNMPv3 user: every request is refused"
                                    : "no community in ValidCommunities and no SNMPv3 user: "
                                      "every request is refused");
}

// Runs on the SNMP thread when a trap event or a stop signal woke it.
void OnWakeup(int, void* data) {
    auto* service = static_cast<Service*>(data);
    service->wakeup.Drain();
    if (!orb::StopRequested()) service->traps->SendPending();
}

int Run(const snmphost::EngineOptions& options) {
    // Standard error without the engine's debug level, where a source
    // filter reports every packet it lets in.
    if (netsnmp_log_handler* log =
            netsnmp_register_loghandler(NETSNMP_LOGHANDLER_STDERR, LOG_INFO)) {
        log->pri_max = LOG_EMERG;
        log->imagic = 0;  // standard error (1 would be standard output)
    }
    const snmphost::ServiceConfig config = snmphost::ReadServiceConfig();
    if (config.registryError != 0) {
        Log(LOG_ERR, "cannot read the SNMP service's registry keys: " +
                         orb::RegErrorMessage(config.registryError) + "; not started");
        return 1;
    }
    for (const std::string& warning : config.warnings) Log(LOG_WARNING, warning);
    snmphost::UsmConfig usm;
    if (options.agentx.empty()) {  // a master agent has users of its own
        usm = snmphost::ReadUsmConfig();
        if (usm.registryError != 0) {
            Log(LOG_ERR, "cannot read the SNMPv3 users: " +
                             orb::RegErrorMessage(usm.registryError) + "; not started");
            return 1;
        }
        LogAccess(config, usm);
    }
    if (!options.agentx.empty() &&
        (!config.permittedManagers.empty() || config.authenticationTraps))
        Log(LOG_WARNING,
            "PermittedManagers and EnableAuthenticationTraps are left to the master agent");

    Service service;
    if (!service.wakeup.Valid()) {
        Log(LOG_ERR, "cannot create the wake-up descriptor");
        return 1;
    }
    service.agents = LoadAgents(config);
    std::vector<snmphost::ExtensionAgent*> agents;
    for (auto& agent : service.agents) agents.push_back(agent.get());

    std::string error;
    const bool started = snmphost::StartEngine(options, config, usm, agents, &error);
    // SNMPv3 informs take their keys from the passphrases before they go.
    if (started) service.notifications.Open(config.trapDestinations, usm);
    usm.ForgetPassphrases();
    if (!started) {
        Log(LOG_ERR, error);
        return 1;
    }
    orb::StopOnTerminateSignals(&service.wakeup);
    snmphost::WatchDescriptor(service.wakeup.Fd(), OnWakeup, &service);
    service.traps = std::make_unique<snmphost::TrapPump>(agents, &service.wakeup);
    service.traps->Start();
    Log(LOG_INFO, "serving " + std::to_string(agents.size()) + " agent(s) on " +
                      (options.agentx.empty() ? options.listen : "AgentX " + options.agentx));

    while (!orb::StopRequested()) snmphost::ServeOnce();

    Log(LOG_INFO, "stopping");
    service.traps->Stop();
    service.notifications.Close();
    snmphost::StopEngine();
    fflush(nullptr);
    // The agents' own threads never end (there is no shut-down entry), so
    // the process ends without running static destructors under them.
    std::quick_exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"snmphost: serves the registered SNMP extension agents"};
    snmphost::EngineOptions options;
    options.listen = "udp:127.0.0.1:1161";
    auto* listen = app.add_option("--listen", options.listen,
                                  "standalone agent on these addresses (net-snmp form, comma list)")
                       ->capture_default_str();
    app.add_option("--agentx", options.agentx, "AgentX subagent of the master on this socket")
        ->excludes(listen);
    app.add_option("--trap-address", options.trapAddress, "agent address put in SNMPv1 traps");
    CLI11_PARSE(app, argc, argv);
    return Run(options);
}
