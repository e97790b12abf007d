// The agent with a backup server behind it: the query library answering
// from a server-state file, the eight services on the simulated service
// manager, snmphost serving it all to net-snmp's tools.
#include "tests/snmpagent/service_fixture.h"

namespace {

using namespace agentservice;

const char* const kServices[] = {"NWSDBEngine",      "NWSDiscoverySvc",  "NWSJobEngine",
                                 "NWSMsgEngine",     "NWSSvcControlSvr", "NWSTapeEngine",
                                 "NWSUnivDomainSvr", "NWTIRPC"};

class BackupService : public AgentService {
  protected:
    void SetUp() override {
        AgentService::SetUp();
        home_ = root_ / "Vaultline";
        std::filesystem::create_directories(home_);
        ASSERT_EQ(orb::RegSetString("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path",
                                    "HOME", home_),
                  ERROR_SUCCESS);
        // Short passes: the monitor every 300 ms, the watchers every 500 ms.
        ASSERT_EQ(orb::RegSetDword(kAgentKey, "MonitorInterval", 300), ERROR_SUCCESS);
        ASSERT_EQ(orb::RegSetDword(kAgentKey, "WatcherInterval", 500), ERROR_SUCCESS);
    }
    void writeState(const std::string& json) { std::ofstream(home_ + "/ServerState.json") << json; }
    std::string svcctl(std::vector<std::string> args) {
        args.insert(args.begin(), binDir() + "/svcctl");
        std::string out;
        orb::RunCommand(args, 30000, &out);
        return out;
    }
    // Creates the named services (50 ms transitions) and starts them.
    void runServices(std::initializer_list<const char*> names, bool started = true) {
        for (const char* name : names) {
            svcctl({"create", name, "--delay", "50"});
            if (started) svcctl({"start", name});
        }
        // Running before the agent starts, so its first collection finds them.
        for (const char* name : names)
            for (int i = 0; started && i < 100 && svcctl({"query", name}) != "RUNNING\n"; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::string get(const std::string& suffix) {
        return snmp("snmpget", "v2c", "public", {"-Oqv", kRoot + suffix});
    }
    std::string set(const std::string& suffix, char type, const std::string& value) {
        return snmp("snmpset", "v2c", "private", {kRoot + suffix, std::string(1, type), value});
    }
    std::string trace() { return readFile(root_ / "agent.trace"); }
    std::string home_;
};

constexpr const char* kThreeJobs = R"({"jobs": [
    {"jobId": 7, "owner": "caroot", "description": "Nightly full"},
    {"jobId": 9, "owner": "operator", "description": "Mail store"},
    {"jobId": 7, "owner": "someone", "description": "Duplicate"}],
  "media": [{"mediaId": 101, "tapeName": "WEEKLY-01"}],
  "tapeDrives": [{"driveId": 1}]})";

TEST_F(BackupService, TablesHoldOneRowPerIdentifierAndRefuseSets) {
    writeState(kThreeJobs);
    runServices({"NWSDBEngine"});
    start(binDir());
    ASSERT_TRUE(waitForText(root_ / "agent.trace", "mediaTable: Going to sleep")) << trace();
    ASSERT_TRUE(waitForText(root_ / "agent.trace", "jobsTable: Going to sleep")) << trace();

    EXPECT_EQ(snmp("snmpwalk", "v2c", "public", {kRoot + ".9.1.1.1"}),
              kRoot + ".9.1.1.1.0 = INTEGER: 7\n" + kRoot + ".9.1.1.1.1 = INTEGER: 9\n");
    EXPECT_EQ(get(".9.1.1.7.1"), "\"Mail store\"\n");
    EXPECT_EQ(get(".10.1.1.4.0"), "\"WEEKLY-01\"\n");
    EXPECT_NE(get(".9.1.1.1.2").find("No Such"), std::string::npos);
    EXPECT_NE(set(".9.1.1.1.0", 'i', "5").find("genError"), std::string::npos);

    // Both versions walk the whole subtree to its end.
    for (const char* version : {"v1", "v2c"}) {
        const std::string walk = snmp("snmpwalk", version, "public", {kRoot});
        EXPECT_EQ(walk.find("Timeout"), std::string::npos) << walk;
        EXPECT_EQ(walk.find("Error"), std::string::npos) << walk;
        EXPECT_NE(walk.find(kRoot + ".11.1.1.19.0"), std::string::npos) << walk;
        EXPECT_NE(walk.find(kRoot + ".12.16.0"), std::string::npos) << walk;
    }
}

TEST_F(BackupService, TablesStayEmptyWhileTheDatabaseEngineIsStopped) {
    writeState(kThreeJobs);
    runServices({"NWSDBEngine"}, false);
    start(binDir());
    ASSERT_TRUE(waitForText(root_ / "agent.trace", "jobsTable: lebCollectObject failed"))
        << trace();
    const std::string walk = snmp("snmpwalk", "v2c", "public", {kRoot});
    EXPECT_EQ(walk.find(kRoot + ".9.1"), std::string::npos) << walk;
    EXPECT_NE(walk.find("Agent is Active"), std::string::npos) << walk;
}

TEST_F(BackupService, StatusTextsSwitchesAndMonitorTraps) {
    runServices({"NWSDBEngine", "NWSDiscoverySvc", "NWSJobEngine", "NWSMsgEngine",
                 "NWSSvcControlSvr", "NWSTapeEngine", "NWSUnivDomainSvr"});
    const std::string trapLog = startTrapReceiver();
    start(binDir());
    EXPECT_EQ(get(".7.3.0"), "\"Running\"\n");
    EXPECT_EQ(get(".7.8.0"), "\"Unknown\"\n");

    // The first pass reports the seven running services; then a stopped
    // tape engine gives exactly one trap 12.
    ASSERT_TRUE(waitForText(trapLog, "Enterprise Specific Trap", 7)) << readFile(trapLog);
    svcctl({"stop", "NWSTapeEngine"});
    ASSERT_TRUE(waitForText(trapLog, "Enterprise Specific Trap (12)")) << readFile(trapLog);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));  // further passes
    EXPECT_EQ(occurrences(readFile(trapLog), "Enterprise Specific Trap (12)"), 1);
    EXPECT_EQ(occurrences(readFile(trapLog), "Enterprise Specific Trap"), 8);

    // Stop all, then start all in the start order.
    svcctl({"create", "NWTIRPC", "--delay", "50"});
    EXPECT_NE(set(".6.1.0", 'i', "1").find("INTEGER: 1"), std::string::npos);
    for (const char* name : kServices) EXPECT_EQ(svcctl({"query", name}), "STOPPED\n") << name;
    EXPECT_NE(set(".6.2.0", 'i', "1").find("INTEGER: 1"), std::string::npos);
    for (const char* name : kServices) EXPECT_EQ(svcctl({"query", name}), "RUNNING\n") << name;
    const std::string lines = trace();
    size_t at = 0;
    for (const char* name :
         {"NWSDBEngine", "NWSJobEngine", "NWSMsgEngine", "NWSTapeEngine", "NWSDiscoverySvc",
          "NWSSvcControlSvr", "NWSUnivDomainSvr", "NWTIRPC"}) {
        at = lines.find(std::string("_StartupService: Starting service ") + name, at);
        EXPECT_NE(at, std::string::npos) << name;
    }
}

TEST_F(BackupService, WatcherFormKeepsTheRegistryAndRatingChangesSendOneTrap) {
    const std::string recent = R"({"history": [{"path": "C:\\data\\a.txt", "startTime": "now-1d"},
                                               {"path": "C:\\data\\b.txt", "startTime": "now-1d"}]})";
    writeState(recent);
    runServices({"NWSDBEngine"});
    const std::string trapLog = startTrapReceiver();
    start(binDir());

    set(".12.2.0", 's', "C:\\data\\a.txt");
    set(".12.5.0", 'i', "1");
    set(".12.2.0", 's', "C:\\data\\b.txt");
    set(".12.5.0", 'i', "1");
    EXPECT_NE(get(".12.1.1.1.1").find("b.txt"), std::string::npos);
    EXPECT_EQ(get(".12.1.1.4.1"), "1\n");
    orb::RegValue value;
    ASSERT_EQ(orb::RegReadValue(kAgentKey, "Watchers", &value), ERROR_SUCCESS);
    // Compared up to the list's closing NUL; the registry may keep one more.
    const std::string two(value.data.begin(),
                          value.data.begin() + std::min<size_t>(65, value.data.size()));
    EXPECT_EQ(two, std::string("\"C:\\data\\a.txt\",\"3\",\"4\",\"5\",\"4\"\0"
                               "\"C:\\data\\b.txt\",\"3\",\"4\",\"5\",\"4\"\0\0",
                               65));

    // Edit b's limits, then edit an unknown path, then delete b.
    set(".12.8.0", 's', "C:\\data\\b.txt");
    set(".12.9.0", 'i', "10");
    set(".12.10.0", 'i', "20");
    set(".12.11.0", 'i', "1");
    EXPECT_EQ(get(".12.1.1.2.1"), "10\n");
    set(".12.8.0", 's', "C:\\nothing");
    EXPECT_NE(set(".12.11.0", 'i', "1").find("genError"), std::string::npos);
    set(".12.6.0", 's', "C:\\data\\b.txt");
    set(".12.7.0", 'i', "1");
    EXPECT_NE(get(".12.1.1.1.1").find("No Such"), std::string::npos);
    ASSERT_EQ(orb::RegReadValue(kAgentKey, "Watchers", &value), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(value.data.data())),
              "\"C:\\data\\a.txt\",\"3\",\"4\",\"5\",\"4\"");
    EXPECT_EQ(value.data.at(32), 0);

    // A path of 1024 characters and a quantum of 5 are refused.
    EXPECT_NE(set(".12.2.0", 's', std::string(1024, 'x')).find("wrongValue"), std::string::npos);
    EXPECT_NE(set(".12.13.0", 'i', "5").find("wrongValue"), std::string::npos);

    // OK to WARNING between two passes: one trap 17, .12.12.0 reads 2.
    ASSERT_TRUE(waitForText(root_ / "agent.trace", "historyStatus: Going to sleep", 2));
    writeState(R"({"history": [{"path": "C:\\data\\a.txt", "startTime": "now-4d"}]})");
    ASSERT_TRUE(waitForText(trapLog, "Enterprise Specific Trap (17)")) << readFile(trapLog);
    EXPECT_EQ(get(".12.12.0"), "2\n");
    const int passes = occurrences(trace(), "historyStatus: Going to sleep");
    ASSERT_TRUE(waitForText(root_ / "agent.trace", "historyStatus: Going to sleep", passes + 2));
    EXPECT_EQ(occurrences(readFile(trapLog), "Enterprise Specific Trap (17)"), 1);
}

}  // namespace
