// The SNMP service's speed: OID text handling, and requests answered per
// second by a running snmphost (standalone, loopback) serving the test agent,
// measured with a net-snmp client session inside this process.
//
// bench-libs: snmphost_core
// bench-uses: snmphost TestAgent
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/command.h"
#include "platform/dynload.h"
#include "platform/registry.h"
#include "snmphost/netsnmp.h"

namespace {

void BM_OidTextRoundTrip(benchmark::State& state) {
    for (auto _ : state) {
        AsnObjectIdentifier oid{};
        SnmpMgrStrToOid(".1.3.6.1.4.1.58231.2.12.9.9.1.1.5.123", &oid);
        benchmark::DoNotOptimize(orb::OidToText(oid));
        SnmpUtilOidFree(&oid);
    }
}
BENCHMARK(BM_OidTextRoundTrip);

// snmphost on a private root with the test agent, for the whole run.
class RunningService {
  public:
    RunningService() {
        root_ = (std::filesystem::temp_directory_path() /
                 ("snmphost-bench-" + std::to_string(getpid())))
                    .string();
        std::filesystem::create_directories(root_);
        setenv("ORB_MACHINE_ROOT", root_.c_str(), 1);
        setenv("MIBS", "", 1);
        setenv("SNMP_PERSISTENT_DIR", (root_ + "/snmp").c_str(), 1);
        const std::string params = "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters";
        orb::RegSetString(params + "\\ExtensionAgents", "1", "SOFTWARE\\Bench\\TestAgent");
        orb::RegSetString("SOFTWARE\\Bench\\TestAgent", "Pathname",
                          orb::ProgramDirectory() + "/TestAgent.dll");
        orb::RegSetDword(params + "\\ValidCommunities", "public", 4);
        port_ = orb::FreeLoopbackPort(true);
        const std::string log = root_ + "/snmphost.log";
        service_.Start({orb::ProgramDirectory() + "/snmphost", "--listen", Address()}, log);
        for (int i = 0; i < 200 && !Ready(log); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~RunningService() {
        service_.Stop();
        std::filesystem::remove_all(root_);
    }
    std::string Address() const { return "udp:127.0.0.1:" + std::to_string(port_); }

  private:
    static bool Ready(const std::string& log) {
        std::ifstream in(log);
        std::stringstream text;
        text << in.rdbuf();
        return text.str().find("snmphost: serving") != std::string::npos;
    }
    std::string root_;
    int port_ = 0;
    orb::BackgroundCommand service_;
};

RunningService& Service() {
    static RunningService service;
    return service;
}

// A v2c client session to the service.
void* OpenSession() {
    RunningService& service = Service();  // sets the environment the client reads too
    static bool initialised = false;
    if (!initialised) {
        netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
        init_snmp("snmphost_bench");
        initialised = true;
    }
    netsnmp_session session;
    snmp_sess_init(&session);
    std::string peer = service.Address();
    session.peername = peer.data();
    session.version = SNMP_VERSION_2c;
    session.community = reinterpret_cast<u_char*>(const_cast<char*>("public"));
    session.community_len = 6;
    session.timeout = 2000000;
    return snmp_sess_open(&session);
}

const oid kRoot[] = {1, 3, 6, 1, 4, 1, 99999};

// One request per iteration; items = OIDs answered.
void Run(benchmark::State& state, int command, int repetitions) {
    void* session = OpenSession();
    if (!session) {
        state.SkipWithError("no session");
        return;
    }
    int64_t answered = 0;
    for (auto _ : state) {
        netsnmp_pdu* pdu = snmp_pdu_create(command);
        if (command == SNMP_MSG_GETBULK) {
            pdu->non_repeaters = 0;
            pdu->max_repetitions = repetitions;
        }
        const oid first[] = {1, 3, 6, 1, 4, 1, 99999, 1, 0};
        if (command == SNMP_MSG_GET)
            snmp_add_null_var(pdu, first, OID_LENGTH(first));
        else
            snmp_add_null_var(pdu, kRoot, OID_LENGTH(kRoot));
        netsnmp_pdu* response = nullptr;
        if (snmp_sess_synch_response(session, pdu, &response) != STAT_SUCCESS || !response) {
            state.SkipWithError("no answer");
            break;
        }
        for (netsnmp_variable_list* vb = response->variables; vb; vb = vb->next_variable)
            if (vb->type != SNMP_ENDOFMIBVIEW) ++answered;
        snmp_free_pdu(response);
    }
    state.SetItemsProcessed(answered);
    snmp_sess_close(session);
}

void BM_ServiceGet(benchmark::State& state) { Run(state, SNMP_MSG_GET, 0); }
void BM_ServiceGetNext(benchmark::State& state) { Run(state, SNMP_MSG_GETNEXT, 0); }
void BM_ServiceGetBulk7(benchmark::State& state) { Run(state, SNMP_MSG_GETBULK, 7); }
BENCHMARK(BM_ServiceGet)->UseRealTime();
BENCHMARK(BM_ServiceGetNext)->UseRealTime();
BENCHMARK(BM_ServiceGetBulk7)->UseRealTime();

}  // namespace
