// The bare ceiling for snmphost's walks: a net-snmp master agent with one
// handler over a static std::map, shaped like the agent's jobs table (same
// OIDs, column types and value lengths), and nothing else. What snmphost adds
// on top of the engine (the extension agent, its view, the trace) is what a
// walk of snmphost loses against a walk of this.
//   snmp_ceiling_agent udp:127.0.0.1:PORT ROWS
// Serves community "public" (v1/v2c, read-only) until it is killed.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

using Oid = std::vector<oid>;

struct Value {
    u_char type;
    long number;
    std::string text;
};

// The jobs table's entry, lvbJobEntry.
const oid kEntry[] = {1, 3, 6, 1, 4, 1, 58231, 2, 12, 9, 9, 1, 1};

std::map<Oid, Value> table;  // touched only on the agent's one thread

void Fill(long rows) {
    auto text = [](std::string s) { return Value{ASN_OCTET_STR, 0, std::move(s)}; };
    auto number = [](long n) { return Value{ASN_INTEGER, n, {}}; };
    for (long row = 0; row < rows; ++row) {
        const Value columns[] = {number(row + 1),           number(1),
                                 number(0),                 text("2026-12-08 18:00:00"),
                                 text("2026-12-09 17:00:00"), text("caroot"),
                                 text("Job " + std::to_string(row + 1)), text("VAULT01"),
                                 text("GROUP0"),            number(0)};
        oid column = 1;
        for (const Value& v : columns) {
            Oid name(std::begin(kEntry), std::end(kEntry));
            name.push_back(column++);
            name.push_back(static_cast<oid>(row));
            table.emplace(std::move(name), v);
        }
    }
}

void Put(netsnmp_variable_list* vb, const Value& v) {
    if (v.type == ASN_OCTET_STR)
        snmp_set_var_typed_value(vb, ASN_OCTET_STR, v.text.data(), v.text.size());
    else
        snmp_set_var_typed_integer(vb, v.type, v.number);
}

// GETBULK reaches here as one GETNEXT call per repetition (bulk_to_next).
int Handler(netsnmp_mib_handler*, netsnmp_handler_registration*,
            netsnmp_agent_request_info* info, netsnmp_request_info* requests) {
    for (netsnmp_request_info* r = requests; r; r = r->next) {
        netsnmp_variable_list* vb = r->requestvb;
        Oid name(vb->name, vb->name + vb->name_length);
        if (info->mode == MODE_GET) {
            auto it = table.find(name);
            if (it == table.end())
                netsnmp_set_request_error(info, r, SNMP_NOSUCHINSTANCE);
            else
                Put(vb, it->second);
        } else if (info->mode == MODE_GETNEXT) {
            auto it = r->inclusive ? table.lower_bound(name) : table.upper_bound(name);
            if (it != table.end()) {  // past the end: the engine answers endOfMibView
                snmp_set_var_objid(vb, it->first.data(), it->first.size());
                Put(vb, it->second);
            }
        }
    }
    return SNMP_ERR_NOERROR;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        snmp_log(LOG_ERR, "usage: snmp_ceiling_agent udp:127.0.0.1:PORT ROWS\n");
        return 2;
    }
    Fill(std::atol(argv[2]));
    snmp_enable_stderrlog();
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_DISABLE_PERL, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID,
                           NETSNMP_DS_AGENT_DONT_LOG_TCPWRAPPERS_CONNECTS, 1);
    netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_PORTS, argv[1]);
    add_to_init_list(const_cast<char*>("-smux"));  // no listener on tcp/199
    init_agent("snmp_ceiling_agent");
    netsnmp_register_handler(netsnmp_create_handler_registration(
        "ceiling", Handler, kEntry, OID_LENGTH(kEntry), HANDLER_CAN_RONLY));
    netsnmp_config(const_cast<char*>("rocommunity public 127.0.0.1"));
    netsnmp_config(const_cast<char*>("mibs :"));
    init_snmp("snmp_ceiling_agent");
    if (init_master_agent() != 0)
        return 1;
    for (;;)  // ends by SIGTERM from the benchmark script
        agent_check_and_process(1);
}
