// The agent served by the real SNMP service: snmphost on a free loopback
// port, a private machine root whose registry registers lmEBAgent as the
// installer does, and net-snmp's command-line tools as managers.
#include "tests/snmpagent/service_fixture.h"

namespace {

using namespace agentservice;

TEST_F(AgentService, GetNextWalksTheAgentsObjectsAndEndsItsView) {
    start(binDir());
    for (const char* version : {"v1", "v2c"}) {
        EXPECT_EQ(snmp("snmpgetnext", version, "public", {kRoot, kRoot + ".3.2.0"}),
                  kRoot + ".3.1.0 = STRING: \"Agent is Active\"\n" + kRoot +
                      ".6.1.0 = INTEGER: 0\n")
            << version;
        // Not a node of the agent's tree: the next object all the same.
        EXPECT_EQ(snmp("snmpgetnext", version, "public", {kRoot + ".4"}),
                  kRoot + ".6.1.0 = INTEGER: 0\n")
            << version;
    }
    // The last object (no watchers): the end of the agent's view.
    EXPECT_NE(snmp("snmpgetnext", "v2c", "public", {kRoot + ".12.16.0"})
                  .find("No more variables left in this MIB View"),
              std::string::npos);
    EXPECT_NE(snmp("snmpgetnext", "v1", "public", {kRoot + ".12.16.0"}).find("(noSuchName)"),
              std::string::npos);
    EXPECT_EQ(snmp("snmpwalk", "v2c", "public", {kRoot + ".3"}),
              kRoot + ".3.1.0 = STRING: \"Agent is Active\"\n" + kRoot +
                  ".3.2.0 = STRING: \"01.00.1\"\n");
}

TEST_F(AgentService, UnknownNamesAndReadOnlyObjectsAnswerNoSuchName) {
    start(binDir());
    const std::string root4 = snmp("snmpget", "v1", "public", {kRoot + ".4"});
    EXPECT_NE(root4.find("(noSuchName)"), std::string::npos) << root4;
    EXPECT_EQ(snmp("snmpget", "v2c", "public", {kRoot + ".4"}),
              kRoot + ".4 = No Such Object available on this agent at this OID\n");

    // Three bindings, the second unknown: error status 2, index 2.
    const std::string three =
        snmp("snmpget", "v1", "public", {kRoot + ".3.1.0", kRoot + ".5.0", kRoot + ".3.2.0"});
    EXPECT_NE(three.find("(noSuchName)"), std::string::npos) << three;
    EXPECT_NE(three.find("Failed object: " + kRoot + ".5.0"), std::string::npos) << three;

    const std::string readOnly = snmp("snmpset", "v1", "private", {kRoot + ".3.1.0", "s", "x"});
    EXPECT_NE(readOnly.find("(noSuchName)"), std::string::npos) << readOnly;
    EXPECT_NE(snmp("snmpset", "v2c", "private", {kRoot + ".3.1.0", "s", "x"}).find("notWritable"),
              std::string::npos);

    // The switches: a value other than 1 is accepted and does nothing, text is refused.
    EXPECT_EQ(snmp("snmpset", "v2c", "private", {kRoot + ".6.2.0", "i", "2"}),
              kRoot + ".6.2.0 = INTEGER: 2\n");
    EXPECT_NE(snmp("snmpset", "v1", "private", {kRoot + ".6.2.0", "s", "1"}).find("(badValue)"),
              std::string::npos);
    EXPECT_EQ(snmp("snmpget", "v1", "public", {kRoot + ".6.1.0", kRoot + ".6.2.0"}),
              kRoot + ".6.1.0 = INTEGER: 0\n" + kRoot + ".6.2.0 = INTEGER: 0\n");

    // The longest names a request may carry do not fit the agent's texts.
    std::string longName = kRoot;
    for (int i = 0; i < 110; ++i) longName += ".4294967295";
    EXPECT_NE(snmp("snmpget", "v1", "public", {longName}).find("(noSuchName)"),
              std::string::npos);
    EXPECT_NE(snmp("snmpgetnext", "v2c", "public", {longName})
                  .find("No more variables left in this MIB View"),
              std::string::npos);
    EXPECT_EQ(snmp("snmpget", "v1", "public", {kRoot + ".3.2.0"}),
              kRoot + ".3.2.0 = STRING: \"01.00.1\"\n");
}

TEST_F(AgentService, QueuedMessagesArriveAsV1TrapsInOrder) {
    const std::string trapLog = startTrapReceiver();

    orbtest::ScopedEnv codes("ORB_TEST_TRAP_CODES", "12,1,17");
    start(binDir(), "lmEBAgentTraps.dll");
    ASSERT_TRUE(waitForText(trapLog, "Enterprise Specific Trap", 3)) << readFile(trapLog);
    receiver_.Stop();

    const std::string log = readFile(trapLog);
    EXPECT_EQ(occurrences(log, "TRAP, SNMP v1, community public"), 3) << log;
    const size_t t12 = log.find(kRoot + " Enterprise Specific Trap (12)");
    const size_t t1 = log.find(kRoot + " Enterprise Specific Trap (1)");
    const size_t t17 = log.find(kRoot + " Enterprise Specific Trap (17)");
    ASSERT_NE(t12, std::string::npos) << log;
    EXPECT_TRUE(t12 < t1 && t1 < t17 && t17 != std::string::npos) << log;
}

// Installed without the query library (a directory of its own, nothing on
// PATH): start-up completes and the constant objects answer.
TEST_F(AgentService, StartsAndAnswersWithoutTheQueryLibrary) {
    const std::string dir = root_ / "bin";
    std::filesystem::create_directories(dir);
    for (const char* file : {"snmphost", "liblmEBAgent.so"})
        std::filesystem::copy_file(binDir() + "/" + file, dir + "/" + file);
    orbtest::ScopedEnv path("PATH", "/usr/bin:/bin");
    start(dir);
    EXPECT_EQ(snmp("snmpget", "v2c", "public", {kRoot + ".3.1.0", kRoot + ".3.2.0"}),
              kRoot + ".3.1.0 = STRING: \"Agent is Active\"\n" + kRoot +
                  ".3.2.0 = STRING: \"01.00.1\"\n");
    const std::string trace = readFile(root_ / "agent.trace");
    EXPECT_NE(trace.find("lebInitialize: DLL not found"), std::string::npos) << trace;
    EXPECT_NE(trace.find("SnmpExtensionInit: Starting worker threads"), std::string::npos);
}

}  // namespace
