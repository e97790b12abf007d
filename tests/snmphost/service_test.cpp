// The SNMP service end to end: snmphost on a free loopback port, a private
// machine root whose registry registers the test agent, and net-snmp's own
// command-line tools as the managers and the trap receiver.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "machine_root.h"
#include "platform/command.h"
#include "platform/registry.h"
#include "snmphost/config.h"
#include "tests/platform/bin_dir.h"

namespace {

const std::string kParams = snmphost::kParametersKey;
const std::string kRoot = ".1.3.6.1.4.1.99999";

using orbtest::BinDir;

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int Count(const std::string& log, const std::string& text) {
    int found = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++found;
    return found;
}

// Polls a log file until it holds text (about 10 s at most).
bool WaitForText(const std::string& path, const std::string& text, int count = 1) {
    for (int i = 0; i < 200; ++i) {
        if (Count(ReadFile(path), text) >= count) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

class SnmpService : public ::testing::Test {
  protected:
    void SetUp() override {
        // The tools read no MIB files and write nothing outside the root.
        setenv("MIBS", "", 1);
        setenv("SNMP_PERSISTENT_DIR", (root_.Path() + "/snmp").c_str(), 1);
        setenv("SNMPCONFPATH", (root_.Path() + "/snmp").c_str(), 1);
        port_ = orb::FreeLoopbackPort(true);
        ASSERT_NE(port_, 0);
    }

    void RegisterTestAgent(const std::string& pathname) {
        const std::string agentKey = "SOFTWARE\\Tests\\SNMPAgents\\TestAgent\\CurrentVersion";
        ASSERT_EQ(orb::RegSetString(kParams + "\\ExtensionAgents", "1", agentKey), ERROR_SUCCESS);
        ASSERT_EQ(orb::RegSetString(agentKey, "Pathname", pathname), ERROR_SUCCESS);
    }

    void Configure() {
        // Written the Windows way: a "\\" path and the ".dll" name.
        RegisterTestAgent(BinDir() + "\\TestAgent.dll");
        ASSERT_EQ(orb::RegSetDword(kParams + "\\ValidCommunities", "public", 4), ERROR_SUCCESS);
        ASSERT_EQ(orb::RegSetDword(kParams + "\\ValidCommunities", "private", 8), ERROR_SUCCESS);
    }

    // Standalone on port_ unless other mode arguments are given.
    void StartService(std::vector<std::string> mode = {}) {
        if (mode.empty())
            mode = {"--listen", "udp:127.0.0.1:" + std::to_string(port_), "--trap-address",
                    "127.0.0.1"};
        mode.insert(mode.begin(), BinDir() + "/snmphost");
        log_ = root_.Path() + "/snmphost.log";
        ASSERT_TRUE(service_.Start(mode, log_));
        ASSERT_TRUE(WaitForText(log_, "snmphost: serving")) << ReadFile(log_);
    }

    void TearDown() override {
        if (service_.Pid()) {
            EXPECT_EQ(service_.Stop(), 0) << ReadFile(log_);  // SIGTERM: clean stop
        }
    }

    // One tool run: "snmpget -v2c -c public ..." against the service.
    std::string Snmp(const std::string& tool, const std::string& version,
                     const std::string& community, std::vector<std::string> args) {
        std::vector<std::string> argv{
            tool, "-" + version, "-c", community, "-On",
            "-t", "1",           "-r", "1",       "127.0.0.1:" + std::to_string(port_)};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string out;
        EXPECT_NE(orb::RunCommand(argv, 20000, &out), -2) << tool << " hung";
        return out;
    }

    // snmptrapd on a free loopback port, writing one line per notification
    // ("TRAP2, SNMP v2c, community C; bindings"; SNMPv1: "...; enterprise;
    // generic; .specific; bindings"). Answers every inform. Returns the port.
    int StartReceiver(orb::BackgroundCommand* receiver, const std::string& log) {
        const int port = orb::FreeLoopbackPort(true);
        const std::string conf = root_.Path() + "/snmptrapd.conf";
        std::ofstream(conf) << "disableAuthorization yes\nformat2 %P; %v\\n\n"
                            << "format1 %P; %N; %w; %q; %v\\n\n";
        EXPECT_TRUE(receiver->Start({"snmptrapd", "-f", "-n", "-C", "-c", conf, "-On", "-Lo",
                                     "udp:127.0.0.1:" + std::to_string(port)},
                                    log));
        EXPECT_TRUE(WaitForText(log, "NET-SNMP version")) << ReadFile(log);
        return port;
    }

    // A manager that counts the datagrams it gets ("datagram" lines in heard)
    // and never answers. Returns its address.
    std::string StartMuteListener(orb::BackgroundCommand* listener, const std::string& heard) {
        const std::string port = std::to_string(orb::FreeLoopbackPort(true));
        EXPECT_TRUE(listener->Start(
            {"/usr/bin/python3", "-c",
             "import socket\ns=socket.socket(socket.AF_INET,socket.SOCK_DGRAM)\n"
             "s.bind(('127.0.0.1'," +
                 port +
                 "))\nprint('listening',flush=True)\n"
                 "while True:\n s.recv(65536)\n print('datagram',flush=True)\n"},
            heard));
        EXPECT_TRUE(WaitForText(heard, "listening")) << ReadFile(heard);
        return "127.0.0.1:" + port;
    }

    // A trap destination of COMMUNITY; its own key's REG_DWORD settings.
    void AddDestination(const std::string& community, const std::string& address,
                        std::map<std::string, DWORD> settings = {}) {
        const std::string key = kParams + "\\TrapConfiguration\\" + community;
        ASSERT_EQ(orb::RegSetString(key, "1", address), ERROR_SUCCESS);
        for (const auto& [name, value] : settings)
            ASSERT_EQ(orb::RegSetDword(key + "\\1", name, value), ERROR_SUCCESS);
    }

    ScopedMachineRoot root_;
    int port_ = 0;
    std::string log_;
    orb::BackgroundCommand service_;
};

TEST_F(SnmpService, GetAndSetReachTheAgentWithItsErrorsInBothVersions) {
    Configure();
    StartService();
    EXPECT_EQ(Snmp("snmpget", "v2c", "public",
                   {kRoot + ".1.0", kRoot + ".3.0", kRoot + ".4.0", kRoot + ".5.0"}),
              kRoot + ".1.0 = STRING: \"Test Agent\"\n" + kRoot + ".3.0 = Counter32: 7\n" + kRoot +
                  ".4.0 = IpAddress: 127.0.0.1\n" + kRoot + ".5.0 = OID: " + kRoot + ".5\n");

    // The second of three is unknown: SNMPv1 reports it by index; SNMPv2c
    // answers the others and marks that one.
    const std::string v1 =
        Snmp("snmpget", "v1", "public", {kRoot + ".1.0", kRoot + ".7.0", kRoot + ".2.0"});
    EXPECT_NE(v1.find("(noSuchName)"), std::string::npos) << v1;
    EXPECT_NE(v1.find("Failed object: " + kRoot + ".7.0"), std::string::npos) << v1;
    const std::string v2 =
        Snmp("snmpget", "v2c", "public", {kRoot + ".1.0", kRoot + ".7.0", kRoot + ".2.0"});
    EXPECT_EQ(v2, kRoot + ".1.0 = STRING: \"Test Agent\"\n" + kRoot +
                      ".7.0 = No Such Object available on this agent at this OID\n" + kRoot +
                      ".2.0 = INTEGER: 42\n");

    // Two writable objects in one request, then both read back.
    EXPECT_EQ(Snmp("snmpset", "v2c", "private",
                   {kRoot + ".2.0", "i", "-7", kRoot + ".6.0", "s", "changed"}),
              kRoot + ".2.0 = INTEGER: -7\n" + kRoot + ".6.0 = STRING: \"changed\"\n");
    EXPECT_EQ(Snmp("snmpget", "v1", "public", {kRoot + ".2.0", kRoot + ".6.0"}),
              kRoot + ".2.0 = INTEGER: -7\n" + kRoot + ".6.0 = STRING: \"changed\"\n");

    // Refusals: read-only object, wrong type, read-only community.
    EXPECT_NE(Snmp("snmpset", "v1", "private", {kRoot + ".1.0", "s", "x"}).find("(noSuchName)"),
              std::string::npos);
    EXPECT_NE(Snmp("snmpset", "v2c", "private", {kRoot + ".1.0", "s", "x"}).find("notWritable"),
              std::string::npos);
    EXPECT_NE(Snmp("snmpset", "v1", "private", {kRoot + ".2.0", "s", "x"}).find("(badValue)"),
              std::string::npos);
    EXPECT_NE(Snmp("snmpset", "v2c", "private", {kRoot + ".2.0", "s", "x"}).find("wrongValue"),
              std::string::npos);
    EXPECT_NE(Snmp("snmpset", "v2c", "public", {kRoot + ".2.0", "i", "1"}).find("noAccess"),
              std::string::npos);
    EXPECT_EQ(Snmp("snmpget", "v1", "public", {kRoot + ".2.0"}), kRoot + ".2.0 = INTEGER: -7\n");

    // Junk datagrams and the longest OIDs a request may carry change nothing.
    std::string longOid = kRoot;
    for (int i = 0; i < 120; ++i) longOid += ".4294967295";
    const std::string port = std::to_string(port_);
    EXPECT_EQ(orb::RunCommand({"bash", "-c",
                               "printf '\\x30\\x82\\xff\\xff\\x02' >/dev/udp/127.0.0.1/" + port +
                                   "; head -c 3000 /dev/urandom >/dev/udp/127.0.0.1/" + port},
                              5000, nullptr),
              0);
    EXPECT_EQ(Snmp("snmpget", "v2c", "public", {longOid, kRoot + ".2.0"}),
              longOid + " = No Such Object available on this agent at this OID\n" + kRoot +
                  ".2.0 = INTEGER: -7\n");
    EXPECT_NE(Snmp("snmpgetnext", "v1", "public", {longOid}).find("(noSuchName)"),
              std::string::npos);
}

TEST_F(SnmpService, GetNextWalksTheViewAndEndsPastIt) {
    Configure();
    StartService();
    // From before the view, from its root, and between objects.
    EXPECT_EQ(Snmp("snmpgetnext", "v1", "public", {".1.3.6.1.4.1", kRoot, kRoot + ".2"}),
              kRoot + ".1.0 = STRING: \"Test Agent\"\n" + kRoot +
                  ".1.0 = STRING: \"Test Agent\"\n" + kRoot + ".2.0 = INTEGER: 42\n");
    const std::string walk = Snmp("snmpwalk", "v2c", "public", {kRoot});
    EXPECT_EQ(walk.find(kRoot + ".1.0 = "), 0u) << walk;
    EXPECT_NE(walk.find(kRoot + ".9.0 = \"\""), std::string::npos) << walk;
    EXPECT_EQ(std::count(walk.begin(), walk.end(), '\n'), 8) << walk;  // 7 objects + the end
    EXPECT_EQ(Snmp("snmpbulkwalk", "v2c", "public", {kRoot}), walk);

    // The agent reports its end as a name past its view.
    EXPECT_NE(Snmp("snmpgetnext", "v2c", "public", {kRoot + ".9.0"})
                  .find("No more variables left in this MIB View"),
              std::string::npos);
    const std::string v1 = Snmp("snmpgetnext", "v1", "public", {kRoot + ".9.0"});
    EXPECT_NE(v1.find("(noSuchName)"), std::string::npos) << v1;
}

TEST_F(SnmpService, AgentTrapsLeaveAsV1TrapsInQueueOrder) {
    Configure();
    const int trapPort = orb::FreeLoopbackPort(true);
    ASSERT_NE(trapPort, 0);
    ASSERT_EQ(orb::RegSetString(kParams + "\\TrapConfiguration\\public", "1",
                                "127.0.0.1:" + std::to_string(trapPort)),
              ERROR_SUCCESS);
    const std::string conf = root_.Path() + "/snmptrapd.conf";
    std::ofstream(conf) << "authCommunity log public\n";
    const std::string trapLog = root_.Path() + "/traps.log";
    orb::BackgroundCommand receiver;
    ASSERT_TRUE(receiver.Start({"snmptrapd", "-f", "-Lo", "-C", "-c", conf, "-On",
                                "udp:127.0.0.1:" + std::to_string(trapPort)},
                               trapLog));
    ASSERT_TRUE(WaitForText(trapLog, "NET-SNMP version")) << ReadFile(trapLog);
    StartService();

    // One event for three queued traps: the service drains until FALSE.
    Snmp("snmpset", "v2c", "private", {kRoot + ".9.0", "s", "5,7,9"});
    ASSERT_TRUE(WaitForText(trapLog, "Enterprise Specific Trap", 3)) << ReadFile(trapLog);
    Snmp("snmpset", "v1", "private", {kRoot + ".9.0", "s", "100"});
    ASSERT_TRUE(WaitForText(trapLog, "Enterprise Specific Trap", 4)) << ReadFile(trapLog);
    receiver.Stop();

    const std::string log = ReadFile(trapLog);
    const size_t t5 = log.find(kRoot + " Enterprise Specific Trap (5)");
    const size_t t7 = log.find(kRoot + " Enterprise Specific Trap (7)");
    const size_t t9 = log.find(kRoot + " Enterprise Specific Trap (9)");
    const size_t t100 = log.find(kRoot + " Enterprise Specific Trap (100)");
    ASSERT_NE(t5, std::string::npos) << log;
    EXPECT_TRUE(t5 < t7 && t7 < t9 && t9 < t100) << log;
    EXPECT_NE(log.find("TRAP, SNMP v1, community public"), std::string::npos) << log;
    EXPECT_NE(log.find(kRoot + ".1.0 = STRING: \"Test Agent\"", t100), std::string::npos) << log;
}

// The SNMPv2 form (RFC 3584): uptime, snmpTrapOID.0 = enterprise.0.specific,
// the agent's bindings, snmpTrapEnterprise.0 last.
TEST_F(SnmpService, EachDestinationGetsTheNotificationKindItAsksFor) {
    Configure();
    orb::BackgroundCommand receiver;
    const std::string trapLog = root_.Path() + "/traps.log";
    const std::string at = "127.0.0.1:" + std::to_string(StartReceiver(&receiver, trapLog));
    AddDestination("public", at);
    AddDestination("v2trap", at, {{"Version", 2}});
    AddDestination("v2inform", at, {{"Version", 2}, {"Inform", 1}});
    StartService();

    Snmp("snmpset", "v2c", "private", {kRoot + ".9.0", "s", "5,100"});
    ASSERT_TRUE(WaitForText(trapLog, "; .1.3.6.1.2.1.1.3.0 = Timeticks: ", 4)) << ReadFile(trapLog);
    ASSERT_TRUE(WaitForText(trapLog, "TRAP, SNMP v1", 2)) << ReadFile(trapLog);
    receiver.Stop();
    const std::string log = ReadFile(trapLog);
    EXPECT_NE(log.find("TRAP, SNMP v1, community public; " + kRoot + "; 6; .5; \n"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("TRAP, SNMP v1, community public; " + kRoot + "; 6; .100; " + kRoot +
                       ".1.0 = STRING: \"Test Agent\""),
              std::string::npos)
        << log;
    const std::string enterprise = "\t.1.3.6.1.6.3.1.1.4.3.0 = OID: " + kRoot + "\n";
    for (const std::string kind :
         {"TRAP2, SNMP v2c, community v2trap; ", "INFORM, SNMP v2c, community v2inform; "}) {
        const size_t t5 = log.find(kind);
        ASSERT_NE(t5, std::string::npos) << log;
        const size_t t100 = log.find(kind, t5 + 1);
        ASSERT_NE(t100, std::string::npos) << log;
        EXPECT_EQ(log.substr(log.find('\t', t5), log.find('\n', t5) + 1 - log.find('\t', t5)),
                  "\t.1.3.6.1.6.3.1.1.4.1.0 = OID: " + kRoot + ".0.5" + enterprise);
        EXPECT_EQ(log.substr(log.find('\t', t100), log.find('\n', t100) + 1 - log.find('\t', t100)),
                  "\t.1.3.6.1.6.3.1.1.4.1.0 = OID: " + kRoot + ".0.100\t" + kRoot +
                      ".1.0 = STRING: \"Test Agent\"" + enterprise);
    }
    EXPECT_EQ(ReadFile(log_).find("inform to"), std::string::npos) << ReadFile(log_);
}

// A manager that never answers: the inform is sent 1 + Retries times, given
// up and logged, and neither delays nor stops the other destinations.
TEST_F(SnmpService, AnUnansweredInformIsResentThenGivenUpWithoutHoldingTraps) {
    Configure();
    orb::BackgroundCommand receiver;
    const std::string trapLog = root_.Path() + "/traps.log";
    AddDestination("public", "127.0.0.1:" + std::to_string(StartReceiver(&receiver, trapLog)),
                   {{"Version", 2}});
    const std::string heard = root_.Path() + "/mute.log";
    orb::BackgroundCommand listener;
    const std::string mute = StartMuteListener(&listener, heard);
    AddDestination("silent", mute,
                   {{"Version", 2}, {"Inform", 1}, {"Retries", 1}, {"Timeout", 1500}});
    StartService();

    Snmp("snmpset", "v2c", "private", {kRoot + ".9.0", "s", "7"});
    ASSERT_TRUE(WaitForText(trapLog, kRoot + ".0.7")) << ReadFile(trapLog);
    EXPECT_EQ(ReadFile(log_).find("given up"), std::string::npos);  // still waiting
    const std::string gaveUp = "inform to \"" + mute + "\" unanswered after 1 resend(s): given up";
    ASSERT_TRUE(WaitForText(log_, gaveUp)) << ReadFile(log_);
    EXPECT_TRUE(WaitForText(heard, "datagram", 2));
    Snmp("snmpset", "v2c", "private", {kRoot + ".9.0", "s", "8"});
    ASSERT_TRUE(WaitForText(trapLog, kRoot + ".0.8")) << ReadFile(trapLog);
    EXPECT_TRUE(WaitForText(heard, "datagram", 3));  // the next inform went too
    listener.Stop();
    EXPECT_EQ(Count(ReadFile(heard), "datagram"), 3) << ReadFile(heard);
}

// Informs nobody answers hold memory until they are given up: beyond 100
// waiting ones a destination's later informs are dropped, logged once.
TEST_F(SnmpService, WaitingInformsPerDestinationAreBounded) {
    Configure();
    const std::string nobody = "127.0.0.1:" + std::to_string(orb::FreeLoopbackPort(true));
    AddDestination("public", nobody, {{"Version", 2}, {"Inform", 1}, {"Timeout", 10000}});
    StartService();
    std::string codes = "1";
    for (int code = 2; code <= 103; ++code) codes += "," + std::to_string(code);
    Snmp("snmpset", "v2c", "private", {kRoot + ".9.0", "s", codes});
    const std::string full =
        "informs to \"" + nobody + "\": 100 wait for an answer; later ones are dropped";
    ASSERT_TRUE(WaitForText(log_, full)) << ReadFile(log_);
    Snmp("snmpset", "v2c", "private", {kRoot + ".9.0", "s", "104"});
    EXPECT_EQ(service_.Stop(), 0) << ReadFile(log_);
    const std::string log = ReadFile(log_);
    EXPECT_EQ(Count(log, full), 1) << log;
    EXPECT_NE(log.find("informs to \"" + nobody + "\": 100 unanswered at stop"), std::string::npos)
        << log;
    EXPECT_EQ(Count(log, "given up"), 0) << log;
}

// PermittedManagers names a manager through the host table; a request from
// another address, or with an unknown community, is not answered and sends
// authenticationFailure (generic 4; SNMPv2: snmpTraps.5).
TEST_F(SnmpService, OnlyPermittedManagersAreAnsweredAndFailuresAreTrapped) {
    Configure();
    const std::string hosts = root_.Path() + "/hosts";
    std::ofstream(hosts) << "127.0.0.1 manager.example\n";
    setenv("ORB_HOSTS", hosts.c_str(), 1);
    ASSERT_EQ(orb::RegSetString(kParams + "\\PermittedManagers", "1", "manager.example"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(kParams + "\\PermittedManagers", "2", "unknown.example"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(kParams, "EnableAuthenticationTraps", 1), ERROR_SUCCESS);
    orb::BackgroundCommand receiver;
    const std::string trapLog = root_.Path() + "/traps.log";
    const std::string at = "127.0.0.1:" + std::to_string(StartReceiver(&receiver, trapLog));
    AddDestination("public", at);
    AddDestination("v2trap", at, {{"Version", 2}});
    StartService();
    unsetenv("ORB_HOSTS");
    EXPECT_NE(ReadFile(log_).find("permitted manager \"unknown.example\" is unknown"),
              std::string::npos)
        << ReadFile(log_);

    EXPECT_EQ(Snmp("snmpget", "v2c", "public", {kRoot + ".2.0"}), kRoot + ".2.0 = INTEGER: 42\n");
    const std::string other =
        Snmp("snmpget", "v2c", "public", {"--clientaddr=127.0.0.2", kRoot + ".2.0"});
    EXPECT_NE(other.find("Timeout"), std::string::npos) << other;
    ASSERT_TRUE(WaitForText(trapLog, "TRAP, SNMP v1", 1)) << ReadFile(trapLog);
    EXPECT_NE(Snmp("snmpget", "v1", "wrong", {kRoot + ".2.0"}).find("Timeout"), std::string::npos);
    ASSERT_TRUE(WaitForText(trapLog, "TRAP, SNMP v1", 2)) << ReadFile(trapLog);
    ASSERT_TRUE(WaitForText(trapLog, ".1.3.6.1.6.3.1.1.4.1.0 = OID: .1.3.6.1.6.3.1.1.5.5", 2))
        << ReadFile(trapLog);
    receiver.Stop();
    const std::string log = ReadFile(trapLog);
    EXPECT_NE(log.find("TRAP, SNMP v1, community public; "), std::string::npos) << log;
    // One trap per refused request: snmpget's resend is a second one.
    EXPECT_EQ(Count(log, "; .1.3.6.1.4.1.8072.3.2.10; 4; 0; \n"), 4) << log;
    EXPECT_EQ(Count(log, " = OID: .1.3.6.1.6.3.1.1.5.5\t"), 4) << log;
}

TEST_F(SnmpService, GetNextCrossesFromOneAgentsViewIntoTheNext) {
    Configure();
    ASSERT_EQ(orb::RegSetString(kParams + "\\ExtensionAgents", "2", "SOFTWARE\\Tests\\B"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString("SOFTWARE\\Tests\\B", "Pathname", BinDir() + "/TestAgentB.dll"),
              ERROR_SUCCESS);
    StartService();
    const std::string before = ".1.3.6.1.4.1.99998";
    for (const char* version : {"v1", "v2c"})
        EXPECT_EQ(Snmp("snmpgetnext", version, "public", {before + ".9.0", before + ".6.0"}),
                  kRoot + ".1.0 = STRING: \"Test Agent\"\n" + before + ".9.0 = \"\"\n");
    const std::string walk = Snmp("snmpbulkwalk", "v2c", "public", {".1.3.6.1.4.1"});
    EXPECT_EQ(std::count(walk.begin(), walk.end(), '\n'), 15) << walk;  // 2 x 7 objects + the end
    // GETBULK: a non-repeater, then the repetitions of two names interleaved,
    // each going on past its agent's view into the next or to the end.
    const std::string end =
        " = No more variables left in this MIB View (It is past the end of "
        "the MIB tree)\n";
    EXPECT_EQ(Snmp("snmpbulkget", "v2c", "public",
                   {"-Cn1", "-Cr4", before + ".9.0", before + ".5.0", kRoot + ".6.0"}),
              kRoot + ".1.0 = STRING: \"Test Agent\"\n" + before + ".6.0 = STRING: \"note\"\n" +
                  kRoot + ".9.0 = \"\"\n" + before + ".9.0 = \"\"\n" + kRoot + ".9.0" + end +
                  kRoot + ".1.0 = STRING: \"Test Agent\"\n" + kRoot + ".9.0" + end + kRoot +
                  ".2.0 = INTEGER: 42\n" + kRoot + ".9.0" + end);
    // A GET spanning both agents: one request each, answers in PDU order.
    EXPECT_EQ(Snmp("snmpget", "v2c", "public", {kRoot + ".2.0", before + ".2.0"}),
              kRoot + ".2.0 = INTEGER: 42\n" + before + ".2.0 = INTEGER: 42\n");
}

// The system's master agent (our own snmpd on loopback) serves the view
// through snmphost as its AgentX subagent.
TEST_F(SnmpService, ServesAsAgentXSubagent) {
    RegisterTestAgent(BinDir() + "/TestAgent.dll");
    const std::string socket = root_.Path() + "/agentx.sock";
    const std::string conf = root_.Path() + "/snmpd.conf";
    std::ofstream(conf) << "agentaddress udp:127.0.0.1:" << port_
                        << "\nmaster agentx\nagentXSocket " << socket
                        << "\nrocommunity public 127.0.0.1\nrwcommunity private 127.0.0.1\n";
    orb::BackgroundCommand master;
    const std::string masterLog = root_.Path() + "/snmpd.log";
    ASSERT_TRUE(master.Start({"snmpd", "-f", "-C", "-c", conf, "-I", "-smux", "-Lo"}, masterLog));
    ASSERT_TRUE(WaitForText(masterLog, "NET-SNMP version")) << ReadFile(masterLog);
    StartService({"--agentx", socket});

    std::string first;
    for (int i = 0; i < 50 && first.find("Test Agent") == std::string::npos; ++i) {
        first = Snmp("snmpget", "v2c", "public", {kRoot + ".1.0"});
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(first, kRoot + ".1.0 = STRING: \"Test Agent\"\n");
    const std::string v1 =
        Snmp("snmpget", "v1", "public", {kRoot + ".1.0", kRoot + ".7.0", kRoot + ".2.0"});
    EXPECT_NE(v1.find("Failed object: " + kRoot + ".7.0"), std::string::npos) << v1;
    EXPECT_EQ(Snmp("snmpset", "v2c", "private", {kRoot + ".2.0", "i", "5"}),
              kRoot + ".2.0 = INTEGER: 5\n");
    EXPECT_NE(Snmp("snmpset", "v2c", "private", {kRoot + ".1.0", "s", "x"}).find("notWritable"),
              std::string::npos);
    const std::string walk = Snmp("snmpwalk", "v2c", "public", {kRoot});
    EXPECT_EQ(std::count(walk.begin(), walk.end(), '\n'), 7) << walk;  // snmpd's own tree follows
    EXPECT_EQ(master.Stop(), 0) << ReadFile(masterLog);
}

TEST_F(SnmpService, NoCommunityMeansNoAccessAndABrokenAgentIsSkipped) {
    RegisterTestAgent(root_.Path() + "/NoSuchAgent.dll");
    StartService();
    EXPECT_NE(ReadFile(log_).find("NoSuchAgent"), std::string::npos);
    const std::string out = Snmp("snmpget", "v2c", "public", {kRoot + ".1.0"});
    EXPECT_NE(out.find("Timeout"), std::string::npos) << out;
}

}  // namespace

// SNMPv3: users of the registry, each at its own security level and access.
class SnmpV3Service : public SnmpService {
  protected:
    const std::string users_ = kParams + "\\Users";

    void AddUser(const std::string& name, const std::string& level, const std::string& auth,
                 const std::string& authPass, const std::string& privPass, DWORD access) {
        const std::string key = users_ + "\\" + name;
        ASSERT_EQ(orb::RegSetString(key, "SecurityLevel", level), ERROR_SUCCESS);
        ASSERT_EQ(orb::RegSetString(key, "AuthProtocol", auth), ERROR_SUCCESS);
        ASSERT_EQ(orb::RegSetString(key, "AuthPassphrase", authPass), ERROR_SUCCESS);
        if (!privPass.empty()) {
            ASSERT_EQ(orb::RegSetString(key, "PrivProtocol", "AES"), ERROR_SUCCESS);
            ASSERT_EQ(orb::RegSetString(key, "PrivPassphrase", privPass), ERROR_SUCCESS);
        }
        ASSERT_EQ(orb::RegSetDword(key, "Access", access), ERROR_SUCCESS);
    }

    // One tool run with SNMPv3 security arguments ("-l", "authPriv", "-u", ...).
    std::string SnmpV3(const std::string& tool, std::vector<std::string> security,
                       const std::vector<std::string>& args) {
        std::vector<std::string> argv{tool, "-v3", "-On", "-t", "1", "-r", "1"};
        argv.insert(argv.end(), security.begin(), security.end());
        argv.push_back("127.0.0.1:" + std::to_string(port_));
        argv.insert(argv.end(), args.begin(), args.end());
        std::string out;
        EXPECT_NE(orb::RunCommand(argv, 20000, &out), -2) << tool << " hung";
        return out;
    }

    // Quotes, a backslash and blanks: the passphrase reaches the engine whole.
    const std::string opsAuth_ = "auth \"pass\\ 1";
    const std::string opsPriv_ = "priv pass 22";
    std::vector<std::string> Ops() {
        return {"-l", "authPriv", "-u", "ops", "-a", "SHA-256",
                "-A", opsAuth_,   "-x", "AES", "-X", opsPriv_};
    }
    std::vector<std::string> Reader() {
        return {"-l", "authNoPriv", "-u", "reader", "-a", "SHA-512", "-A", "reader-pass"};
    }
};

TEST_F(SnmpV3Service, UsersWalkAndSetAsConfiguredAndNothingLessGetsData) {
    Configure();
    AddUser("ops", "authPriv", "SHA-256", opsAuth_, opsPriv_, 8);
    AddUser("reader", "authNoPriv", "SHA-512", "reader-pass", "", 4);
    StartService();
    const std::string log = ReadFile(log_);
    EXPECT_NE(log.find("SNMPv3 user \"ops\" (priv, read-write)"), std::string::npos) << log;
    EXPECT_EQ(log.find(opsAuth_), std::string::npos) << log;
    EXPECT_EQ(log.find(opsPriv_), std::string::npos) << log;

    const std::string walk = SnmpV3("snmpwalk", Ops(), {kRoot});
    EXPECT_EQ(walk.find(kRoot + ".1.0 = STRING: \"Test Agent\"\n"), 0u) << walk;
    EXPECT_EQ(std::count(walk.begin(), walk.end(), '\n'), 7) << walk;  // snmpEngine follows
    EXPECT_EQ(SnmpV3("snmpbulkwalk", Ops(), {kRoot}), walk);
    EXPECT_EQ(SnmpV3("snmpwalk", Reader(), {kRoot}), walk);
    EXPECT_EQ(SnmpV3("snmpset", Ops(), {kRoot + ".2.0", "i", "-3", kRoot + ".6.0", "s", "v3"}),
              kRoot + ".2.0 = INTEGER: -3\n" + kRoot + ".6.0 = STRING: \"v3\"\n");
    const std::string readOnly = SnmpV3("snmpset", Reader(), {kRoot + ".2.0", "i", "9"});
    EXPECT_NE(readOnly.find("noAccess"), std::string::npos) << readOnly;
    // Communities go on being served beside the users.
    EXPECT_EQ(Snmp("snmpget", "v2c", "public", {kRoot + ".2.0"}), kRoot + ".2.0 = INTEGER: -3\n");

    // A wrong passphrase, an unknown user, and the right one below its level.
    std::vector<std::string> wrong = Ops();
    wrong[7] = "auth \"pass\\ 2";
    std::vector<std::string> unknown = Ops();
    unknown[3] = "nobody";
    const std::vector<std::string> lower{"-l", "authNoPriv", "-u", "ops",
                                         "-a", "SHA-256",    "-A", opsAuth_};
    const std::vector<std::string> noAuth{"-l", "noAuthNoPriv", "-u", "reader"};
    for (const auto& security : {wrong, unknown, lower, noAuth}) {
        const std::string out = SnmpV3("snmpget", security, {kRoot + ".2.0"});
        EXPECT_EQ(out.find("INTEGER"), std::string::npos) << out;
        EXPECT_NE(out.find(security == wrong     ? "Authentication failure"
                           : security == unknown ? "Unknown user name"
                                                 : "authorizationError"),
                  std::string::npos)
            << out;
    }
    EXPECT_EQ(SnmpV3("snmpget", Reader(), {kRoot + ".2.0"}), kRoot + ".2.0 = INTEGER: -3\n");
}

TEST_F(SnmpV3Service, SnmpV3OnlyRefusesCommunitiesAndTheEngineIdSurvivesARestart) {
    Configure();
    AddUser("ops", "authPriv", "SHA-256", opsAuth_, opsPriv_, 8);
    ASSERT_EQ(orb::RegSetDword(kParams, "SNMPv3Only", 1), ERROR_SUCCESS);
    StartService();
    EXPECT_NE(ReadFile(log_).find("SNMPv3 only"), std::string::npos);
    for (const char* version : {"v1", "v2c"}) {
        const std::string out = Snmp("snmpget", version, "public", {kRoot + ".1.0"});
        EXPECT_NE(out.find("Timeout"), std::string::npos) << version << ": " << out;
    }
    const std::string engine = ".1.3.6.1.6.3.10.2.1";
    const std::string before = SnmpV3("snmpget", Ops(), {engine + ".1.0", engine + ".2.0"});
    ASSERT_NE(before.find(engine + ".1.0 = Hex-STRING: 80 00 1F 88"), std::string::npos) << before;
    EXPECT_NE(before.find(engine + ".2.0 = INTEGER: 1\n"), std::string::npos) << before;

    ASSERT_EQ(service_.Stop(), 0) << ReadFile(log_);
    StartService();
    const std::string after = SnmpV3("snmpget", Ops(), {engine + ".1.0", engine + ".2.0"});
    EXPECT_EQ(after.substr(0, after.find(engine + ".2.0")),
              before.substr(0, before.find(engine + ".2.0")));
    EXPECT_NE(after.find(engine + ".2.0 = INTEGER: 2\n"), std::string::npos) << after;
    // A station that kept the engine ID (no discovery) is still understood.
    struct stat st {};
    ASSERT_EQ(stat((root_.Path() + "/snmp/engineid").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    std::string id = ReadFile(root_.Path() + "/snmp/engineid");
    id.erase(id.find_last_not_of("\n") + 1);
    std::vector<std::string> cached = Ops();
    cached.insert(cached.end(), {"-e", "0x" + id});
    EXPECT_EQ(SnmpV3("snmpget", cached, {kRoot + ".1.0"}),
              kRoot + ".1.0 = STRING: \"Test Agent\"\n");
}

// SNMPv3 messages carry no community to tie to an address: the permitted
// managers bind the users as well.
TEST_F(SnmpV3Service, PermittedManagersBindTheUsersToo) {
    Configure();
    AddUser("ops", "authPriv", "SHA-256", opsAuth_, opsPriv_, 8);
    ASSERT_EQ(orb::RegSetString(kParams + "\\PermittedManagers", "1", "192.0.2.1"), ERROR_SUCCESS);
    StartService();
    const std::string refused = SnmpV3("snmpget", Ops(), {kRoot + ".1.0"});
    EXPECT_NE(refused.find("Timeout"), std::string::npos) << refused;
    EXPECT_EQ(ReadFile(log_).find("Received"), std::string::npos) << ReadFile(log_);

    ASSERT_EQ(service_.Stop(), 0) << ReadFile(log_);
    ASSERT_EQ(orb::RegSetString(kParams + "\\PermittedManagers", "2", "127.0.0.1"), ERROR_SUCCESS);
    StartService();
    EXPECT_EQ(SnmpV3("snmpget", Ops(), {kRoot + ".1.0"}),
              kRoot + ".1.0 = STRING: \"Test Agent\"\n");
    EXPECT_EQ(Snmp("snmpget", "v2c", "public", {kRoot + ".1.0"}),
              kRoot + ".1.0 = STRING: \"Test Agent\"\n");
}

// SNMPv3 notifications: a trap carries the service's own engine ID (the
// receiver knows the user for it), an inform the receiver's, which the
// service discovers. Both authPriv with the user's keys.
TEST_F(SnmpV3Service, V3TrapsAndInformsReachAReceiverThatKnowsTheUser) {
    Configure();
    const std::string authPass = "notify-auth-1";
    const std::string privPass = "notify-priv-1";
    AddUser("notifier", "authPriv", "SHA-256", authPass, privPass, 4);
    StartService();  // makes the engine ID that the receiver must know
    ASSERT_EQ(service_.Stop(), 0) << ReadFile(log_);
    std::string id = ReadFile(root_.Path() + "/snmp/engineid");
    id.erase(id.find_last_not_of("\n") + 1);
    ASSERT_FALSE(id.empty());

    const int trapPort = orb::FreeLoopbackPort(true);
    const std::string conf = root_.Path() + "/snmptrapd.conf";
    std::ofstream(conf) << "createUser -e 0x" << id << " notifier SHA-256 " << authPass << " AES "
                        << privPass << "\ncreateUser notifier SHA-256 " << authPass << " AES "
                        << privPass << "\nauthUser log notifier\ndisableAuthorization yes\n"
                        << "format2 %P; %v\\n\n";
    const std::string trapLog = root_.Path() + "/traps.log";
    orb::BackgroundCommand receiver;
    ASSERT_TRUE(receiver.Start({"snmptrapd", "-f", "-n", "-C", "-c", conf, "-On", "-Lo",
                                "udp:127.0.0.1:" + std::to_string(trapPort)},
                               trapLog));
    ASSERT_TRUE(WaitForText(trapLog, "NET-SNMP version")) << ReadFile(trapLog);
    const std::string at = "127.0.0.1:" + std::to_string(trapPort);
    const std::string key = kParams + "\\TrapConfiguration\\public";
    ASSERT_EQ(orb::RegSetString(key, "1", at), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(key, "2", at), ERROR_SUCCESS);
    for (const char* n : {"\\1", "\\2"}) {
        ASSERT_EQ(orb::RegSetDword(key + n, "Version", 3), ERROR_SUCCESS);
        ASSERT_EQ(orb::RegSetString(key + n, "User", "notifier"), ERROR_SUCCESS);
    }
    ASSERT_EQ(orb::RegSetDword(key + "\\2", "Inform", 1), ERROR_SUCCESS);
    StartService();

    // The first inform waits for the discovery, the second goes straight.
    Snmp("snmpset", "v2c", "private", {kRoot + ".9.0", "s", "11,12"});
    ASSERT_TRUE(WaitForText(trapLog, " = OID: " + kRoot + ".0.12", 2))
        << ReadFile(trapLog) << ReadFile(log_);
    receiver.Stop();
    const std::string log = ReadFile(trapLog);
    for (const std::string kind : {"TRAP2, SNMP v3, user notifier, context ; ",
                                   "INFORM, SNMP v3, user notifier, context ; "})
        EXPECT_EQ(Count(log, kind + ".1.3.6.1.2.1.1.3.0 = Timeticks: "), 2) << log;
    for (const char* code : {".0.11\t", ".0.12\t"})
        EXPECT_EQ(Count(log, ".1.3.6.1.6.3.1.1.4.1.0 = OID: " + kRoot + code), 2) << log;
    const std::string service = ReadFile(log_);
    EXPECT_EQ(service.find("inform to"), std::string::npos) << service;
    EXPECT_EQ(service.find("cannot send"), std::string::npos) << service;
    EXPECT_EQ(service.find(authPass), std::string::npos) << service;
    EXPECT_EQ(service.find(privPass), std::string::npos) << service;
}

// A receiver that never answers: the SNMPv3 inform's engine ID discovery is
// sent 1 + Retries times and the inform given up, logged, while requests go
// on being answered.
TEST_F(SnmpV3Service, AnUnansweredV3InformIsResentThenGivenUp) {
    Configure();
    AddUser("notifier", "authPriv", "SHA-256", "notify-auth-1", "notify-priv-1", 4);
    const std::string heard = root_.Path() + "/mute.log";
    orb::BackgroundCommand listener;
    const std::string mute = StartMuteListener(&listener, heard);
    const std::string key = kParams + "\\TrapConfiguration\\public";
    ASSERT_EQ(orb::RegSetString(key, "1", mute), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\1", "Version", 3), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(key + "\\1", "User", "notifier"), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\1", "Inform", 1), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\1", "Retries", 1), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\1", "Timeout", 2000), ERROR_SUCCESS);
    // A user the service does not serve sends nothing.
    ASSERT_EQ(orb::RegSetString(key, "2", "127.0.0.1:9"), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetDword(key + "\\2", "Version", 3), ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(key + "\\2", "User", "ghost"), ERROR_SUCCESS);
    StartService();
    EXPECT_NE(ReadFile(log_).find("trap destination \"127.0.0.1:9\" skipped: SNMPv3 user "
                                  "\"ghost\" is not served"),
              std::string::npos)
        << ReadFile(log_);

    // While the receiver's engine ID is awaited (4 s), a request with a 1 s
    // timeout and one resend is still answered.
    Snmp("snmpset", "v2c", "private", {kRoot + ".9.0", "s", "12"});
    EXPECT_EQ(Snmp("snmpget", "v2c", "public", {kRoot + ".2.0"}), kRoot + ".2.0 = INTEGER: 42\n");
    const std::string gaveUp = "inform to \"" + mute + "\" unanswered after 1 resend(s): given up";
    ASSERT_TRUE(WaitForText(log_, gaveUp)) << ReadFile(log_);
    listener.Stop();
    EXPECT_EQ(Count(ReadFile(heard), "datagram"), 2) << ReadFile(heard) << ReadFile(log_);
}
