// net-snmp set-up: the order of the calls matters (role and addresses before
// init_agent, configuration lines before init_snmp, trap sessions after it).
#include "snmphost/engine.h"

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

// Communities of the registry; none means no access at all.
void ConfigureCommunities(const ServiceConfig& config) {
    for (const Community& c : config.communities) {
        const char* kind = c.access == Access::kReadWrite ? "rwcommunity" : "rocommunity";
        ConfigLine(std::string(kind) + " \"" + c.name + "\"");
        ConfigLine(std::string(kind) + "6 \"" + c.name + "\"");
    }
}

bool AddTrapDestinations(const ServiceConfig& config) {
    bool all = true;
    for (const TrapDestination& d : config.trapDestinations) {
        // The port goes inside the address text: a separate port argument
        // is mishandled by this engine version.
        if (!create_trap_session(const_cast<char*>(d.address.c_str()), 0,
                                 const_cast<char*>(d.community.c_str()), SNMP_VERSION_1,
                                 SNMP_MSG_TRAP)) {
            Log(LOG_WARNING, "cannot send traps to \"" + d.address + "\"");
            all = false;
        }
    }
    return all;
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
    if (!subagent && !usm.v3Only) ConfigureCommunities(config);
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
    AddTrapDestinations(config);
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
