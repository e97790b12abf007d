// The agent through SnmpExtensionQuery, as the SNMP service drives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "snmpagent/agentroot.h"
#include "snmpagent/oidtext.h"
#include "tests/snmpagent/agent_harness.h"

namespace {

using agenttest::below;
using agenttest::kRoot;
using agenttest::Request;

TEST(AgentGetNext, WalksTheRegisteredObjectsInArcOrder) {
    Request first{kRoot};
    ASSERT_EQ(first.send(SNMP_PDU_GETNEXT), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(first.name(0), below(".3.1.0"));
    EXPECT_EQ(first.type(0), ASN_OCTETSTRING);
    EXPECT_EQ(first.text(0), "Agent is Active");

    Request afterVersion{below(".3.2.0")};
    ASSERT_EQ(afterVersion.send(SNMP_PDU_GETNEXT), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(afterVersion.name(0), below(".6.1.0"));
    EXPECT_EQ(afterVersion.type(0), ASN_INTEGER);
    EXPECT_EQ(afterVersion.number(0), 0);
}

TEST(AgentGetNext, NamesThatAreNoNodeContinueWithTheNextObject) {
    // Inside the view but not registered: the next object after it.
    Request gap{below(".4")};
    ASSERT_EQ(gap.send(SNMP_PDU_GETNEXT), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(gap.name(0), below(".6.1.0"));
    // Below a registered object.
    Request deeper{below(".3.1.0.7.4294967295")};
    ASSERT_EQ(deeper.send(SNMP_PDU_GETNEXT), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(deeper.name(0), below(".3.2.0"));
    // Before the view.
    Request before{".1.3.6.1.4.1.58231"};
    ASSERT_EQ(before.send(SNMP_PDU_GETNEXT), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(before.name(0), below(".3.1.0"));
}

TEST(AgentGetNext, EndOfTheViewPointsPastTheRoot) {
    for (const std::string& name : {below(".12.16.0"), below(".13"), std::string(".2")}) {
        Request last{name};
        EXPECT_EQ(last.send(SNMP_PDU_GETNEXT), SNMP_ERRORSTATUS_NOERROR) << name;
        EXPECT_EQ(last.name(0), ".1.3.6.1.4.1.58231.2.12.10") << name;
        EXPECT_EQ(last.type(0), ASN_NULL) << name;
    }
}

TEST(AgentGet, UnknownBindingStopsTheRequestWithItsIndex) {
    Request request{below(".3.1.0"), below(".4"), below(".3.2.0")};
    EXPECT_EQ(request.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOSUCHNAME);
    EXPECT_EQ(request.errorIndex(), 2);
    EXPECT_EQ(request.text(0), "Agent is Active");
    EXPECT_EQ(request.type(2), ASN_NULL);

    // Interior nodes are no objects.
    Request interior{below(".3")};
    EXPECT_EQ(interior.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOSUCHNAME);
    EXPECT_EQ(interior.errorIndex(), 1);

    Request both{below(".3.2.0"), below(".6.2.0")};
    ASSERT_EQ(both.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(both.errorIndex(), -1);  // not written on success
    EXPECT_EQ(both.text(0), "01.00.1");
    EXPECT_EQ(both.number(1), 0);
}

// Names are found by their arcs and rendered as text only for the trace, so
// every case below must answer alike whether the trace is on or off.
void expectExtremeNamesAnswered() {
    // 128 arcs of ten digits do not fit the 1024-byte request text.
    std::string longName = kRoot;
    for (int i = 0; i < 118; ++i) longName += ".4000000000";
    Request overlong{longName};
    EXPECT_EQ(overlong.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOSUCHNAME);
    Request overlongNext{longName};
    EXPECT_EQ(overlongNext.send(SNMP_PDU_GETNEXT), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(overlongNext.name(0), ".1.3.6.1.4.1.58231.2.12.10");

    // Longer than any tree text, yet renderable: no object.
    std::string deep = below(".3.1.0");
    for (int i = 0; i < 60; ++i) deep += ".4294967295";
    Request deepGet{deep};
    EXPECT_EQ(deepGet.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOSUCHNAME);

    // A binding without arcs.
    Request empty{kRoot};
    SnmpUtilOidFree(&empty.list().list[0].name);
    EXPECT_EQ(empty.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOSUCHNAME);
    Request emptyNext{kRoot};
    SnmpUtilOidFree(&emptyNext.list().list[0].name);
    EXPECT_EQ(emptyNext.send(SNMP_PDU_GETNEXT), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(emptyNext.name(0), ".1.3.6.1.4.1.58231.2.12.10");

    // 129 arcs, short enough as text: more than any OID may have.
    Request tooMany{kRoot};
    SnmpUtilOidFree(&tooMany.list().list[0].name);
    AsnObjectIdentifier& name = tooMany.list().list[0].name;
    name.ids = static_cast<UINT*>(SnmpUtilMemAlloc(129 * sizeof(UINT)));
    name.idLength = 129;
    for (UINT i = 0; i < kAgentRootLength; ++i) name.ids[i] = g_agentRoot[i];
    name.ids[kAgentRootLength] = 3;
    EXPECT_EQ(tooMany.send(SNMP_PDU_GETNEXT), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(tooMany.name(0), ".1.3.6.1.4.1.58231.2.12.10");
}

// The names of a GETNEXT walk of the whole view.
std::vector<std::string> walkView() {
    std::vector<std::string> names;
    std::string name = kRoot;
    for (int i = 0; i < 10000; ++i) {
        Request next{name};
        if (next.send(SNMP_PDU_GETNEXT) != SNMP_ERRORSTATUS_NOERROR) break;
        name = next.name(0);
        names.push_back(name);
        if (name.rfind(kRoot + ".", 0) != 0) break;
    }
    return names;
}

TEST(AgentOidText, FitsWhereRenderingFits) {
    for (const std::string& text : {std::string(".0"), std::string(".9.10.99.100"),
                                    std::string(".4294967295.0"), below(".12.16.0")}) {
        AsnObjectIdentifier oid{};
        ASSERT_TRUE(SnmpMgrStrToOid(text.c_str(), &oid));
        char rendered[64];
        for (size_t size = 0; size <= text.size() + 1; ++size)
            EXPECT_EQ(oidTextFits(oid, size), renderOidText(oid, rendered, size))
                << text << " in " << size;
        EXPECT_TRUE(oidTextFits(oid, text.size() + 1));
        SnmpUtilOidFree(&oid);
    }
}

TEST(AgentGet, OverlongAndExtremeNamesAnswerAlikeWithTheTraceOnAndOff) {
    expectExtremeNamesAnswered();
    const std::vector<std::string> traced = walkView();
    ASSERT_GE(traced.size(), 28u);  // the 27 objects, then the name past the view
    EXPECT_EQ(traced.back(), ".1.3.6.1.4.1.58231.2.12.10");
    agenttest::TraceOff off;
    expectExtremeNamesAnswered();
    EXPECT_EQ(walkView(), traced);
}

TEST(AgentSet, ConstantsAreNotWritable) {
    Request state{below(".3.1.0")};
    state.setText(0, "Agent is Dead");
    EXPECT_EQ(state.send(SNMP_PDU_SET), SNMP_ERRORSTATUS_NOSUCHNAME);
    EXPECT_EQ(state.errorIndex(), 1);
    Request readBack{below(".3.1.0")};
    ASSERT_EQ(readBack.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(readBack.text(0), "Agent is Active");
}

TEST(AgentSet, ServiceSwitchChecksTypeAndIgnoresValuesOtherThanOne) {
    Request two{below(".6.2.0")};
    two.setInteger(0, 2);
    EXPECT_EQ(two.send(SNMP_PDU_SET), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_TRUE(agenttest::traced("MIB_StartupService: value=2\n"));

    Request asText{below(".6.2.0")};
    asText.setText(0, "1");
    EXPECT_EQ(asText.send(SNMP_PDU_SET), SNMP_ERRORSTATUS_BADVALUE);
    EXPECT_TRUE(agenttest::traced("MIB_StartupService: asnType is not mibType\n"));

    Request stop{below(".6.1.0")};
    stop.setText(0, "1");
    EXPECT_EQ(stop.send(SNMP_PDU_SET), SNMP_ERRORSTATUS_BADVALUE);

    // Reading a switch gives 0 whatever was set.
    Request read{below(".6.1.0"), below(".6.2.0")};
    ASSERT_EQ(read.send(SNMP_PDU_GET), SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(read.number(0), 0);
    EXPECT_EQ(read.number(1), 0);
}

TEST(AgentQuery, TracesEachBindingAndTheResolution) {
    agenttest::startAgent();
    agenttest::clearTrace();
    Request request{below(".3.2.0"), below(".5")};
    request.send(SNMP_PDU_GET);
    const auto lines = agenttest::traceLines();
    const std::vector<std::string> expected = {
        "SnmpExtensionQuery: Entered\n",
        "SnmpExtensionQuery: interation 0, of 2\n",
        "ResolveVarBind: Entered, Action=160, OID=" + below(".3.2.0") + "\n",
        "ResolveVarBind: Calling mibFunction\n",
        "MIB_StaticValue: MIB ACTION=Get\n",
        "SnmpExtensionQuery: interation 1, of 2\n",
        "ResolveVarBind: Entered, Action=160, OID=" + below(".5") + "\n",
        "ResolveVarBind: mibGet return 2\n",
    };
    // Worker threads may write lines of their own in between.
    std::vector<std::string> ours;
    for (const auto& line : lines)
        if (line.rfind("SnmpExtension", 0) == 0 || line.rfind("ResolveVarBind", 0) == 0 ||
            line.rfind("MIB_", 0) == 0)
            ours.push_back(line);
    EXPECT_EQ(ours, expected);
}

TEST(AgentStart, RegistersEveryObjectAndPutsTheHomeDirectoryOnThePath) {
    agenttest::startAgent();
    const auto lines = agenttest::startupLines();
    int inserted = 0;
    for (const auto& line : lines)
        if (line.rfind("SnmpExtensionInit: Inserting MIB OID=" + kRoot + ".", 0) == 0) ++inserted;
    EXPECT_EQ(inserted, 27);
    EXPECT_EQ(lines.front(), "SnmpExtensionInit: Entered\n");
    const std::string pathLine = "PATH(2)=";
    const auto path = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
        return line.rfind(pathLine, 0) == 0;
    });
    ASSERT_NE(path, lines.end());
    EXPECT_TRUE(path->ends_with(":" + agenttest::homeDirectory() + "\n")) << *path;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "SnmpExtensionInit: Starting worker threads\n"),
              lines.end());

    // A second start hands out the same event and view and starts nothing again.
    HANDLE again = nullptr;
    AsnObjectIdentifier view{};
    EXPECT_TRUE(SnmpExtensionInit(0, &again, &view));
    EXPECT_EQ(again, agenttest::startAgent());
    EXPECT_NE(again, nullptr);
    EXPECT_EQ(orb::OidToText(view), kRoot);
}

}  // namespace
