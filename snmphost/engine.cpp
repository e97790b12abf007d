// net-snmp set-up: the order of the calls matters (role and addresses before
// init_agent, configuration lines before init_snmp, trap sessions after it:
// see notify.h).
#include "snmphost/engine.h"

#include "platform/resolver.h"
#include "snmphost/dispatch.h"
#include "snmphost/netsnmp.h"
#include "snmphost/usm.h"

namespace snmphost {

namespace {

constexpr const char* kAppName = "snmphost";

void SetQuietDefaults() {
    // No configuration or persistent files of the host, no embedded
    // interpreter, no log line for every packet.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_DISABLE_PERL, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID,
                           NETSNMP_DS_AGENT_DONT_LOG_TCPWRAPPERS_CONNECTS, 1);
    add_to_init_list(const_cast<char*>("-smux"));  // no SMUX listener on tcp/199
}

void ConfigLine(const std::string& line) { netsnmp_config(const_cast<char*>(line.c_str())); }

// The addresses allowed to ask: empty lists and any = every address.
// Names are looked up once, at start, as the Windows service does.
struct Sources {
    bool any = true;
    std::vector<std::string> v4, v6;
};

Sources ManagerSources(const ServiceConfig& config) {
    Sources sources;
    sources.any = config.permittedManagers.empty();
    for (const std::string& manager : config.permittedManagers) {
        if (orb::IsIPv6Literal(manager)) {
            sources.v6.push_back(manager);
            continue;
        }
        const std::vector<std::string> addresses = orb::HostAddresses(manager);
        if (addresses.empty()) Log(LOG_WARNING, "permitted manager \"" + manager + "\" is unknown");
        sources.v4.insert(sources.v4.end(), addresses.begin(), addresses.end());
    }
    if (!sources.any && sources.v4.empty() && sources.v6.empty())
        Log(LOG_WARNING, "no permitted manager is known: every request is refused");
    return sources;
}

// Communities of the registry (unless SNMPv3 only), for the permitted
// managers only when there are some; none means no access at all. A request
// outside them is an authentication failure to the engine.
void ConfigureAccess(const ServiceConfig& config, bool communities, bool users) {
    const Sources sources = ManagerSources(config);
    if (users && !sources.any) {
        // SNMPv3 carries no community to tie to an address: the engine drops
        // every other source before looking at the message.
        ConfigLine("sourceFilterType acceptlist");
        for (const std::string& address : sources.v4) ConfigLine("sourceFilterAddress " + address);
        for (const std::string& address : sources.v6) ConfigLine("sourceFilterAddress " + address);
    }
    for (const Community& c : communities ? config.communities : std::vector<Community>()) {
        const std::string kind = c.access == Access::kReadWrite ? "rwcommunity" : "rocommunity";
        const std::string line = kind + " \"" + c.name + "\"";
        if (sources.any) {
            ConfigLine(line);
            ConfigLine(kind + "6 \"" + c.name + "\"");
        }
        for (const std::string& address : sources.v4) ConfigLine(line + " " + address);
        for (const std::string& address : sources.v6)
            ConfigLine(kind + "6 \"" + c.name + "\" " + address);
    }
    if (config.authenticationTraps) ConfigLine("authtrapenable 1");
}

}  // namespace

void Log(int priority, const std::string& line) {
    snmp_log(priority, "%s: %s\n", kAppName, line.c_str());
}

bool StartEngine(const EngineOptions& options, const ServiceConfig& config, const UsmConfig& usm,
                 const std::vector<ExtensionAgent*>& agents, std::string* error) {
    SetQuietDefaults();
    const bool subagent = !options.agentx.empty();
    if (subagent) {
        netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 1);
        netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_X_SOCKET,
                              options.agentx.c_str());
    } else {
        netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_PORTS,
                              options.listen.c_str());
    }
    if (!options.trapAddress.empty())
        netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_TRAP_ADDR,
                              options.trapAddress.c_str());
    if (init_agent(kAppName) != 0) {
        *error = "the SNMP engine did not start";
        return false;
    }
    if (subagent)  // init_agent chose 15 s; come back sooner after a master restart
        netsnmp_ds_set_int(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_PING_INTERVAL, 5);
    for (ExtensionAgent* agent : agents) {
        std::string why;
        if (!RegisterAgentView(agent, &why)) Log(LOG_WARNING, why);
    }
    if (!subagent) ConfigureAccess(config, !usm.v3Only, !usm.users.empty());
    bool engineIdKept = false;
    if (!subagent)
        for (const std::string& line : PrepareUsm(usm, &engineIdKept)) ConfigLine(line);
    ConfigLine("mibs :");  // numeric OIDs only: no MIB files are loaded
    init_snmp(kAppName);
    if (!subagent) CreateUsmUsers(usm, engineIdKept);
    if (!subagent && init_master_agent() != 0) {
        *error = "cannot listen on \"" + options.listen + "\"";
        return false;
    }
    return true;
}

void WatchDescriptor(int fd, void (*onReadable)(int, void*), void* data) {
    register_readfd(fd, onReadable, data);
}

void ServeOnce() { agent_check_and_process(1); }

void StopEngine() {
    snmp_shutdown(kAppName);
    shutdown_agent();
}

}  // namespace snmphost
