// The shipped library as the SNMP service loads it: by name, entry points
// bound by name, answering on its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/dynload.h"
#include "tests/platform/bin_dir.h"
#include "tests/snmpagent/agent_harness.h"

namespace {

TEST(AgentLibrary, LoadsByNameAndAnswersThroughItsEntryPoints) {
    agenttest::startAgent();  // a private machine root for the library too
    const std::string bin = orbtest::BinDir();
    // Never unloaded: its threads live as long as the process, as in the service.
    static HMODULE module = LoadLibraryA((bin + "/lmEBAgent.DLL").c_str());
    ASSERT_NE(module, nullptr);
    auto init = reinterpret_cast<PFNSNMPEXTENSIONINIT>(GetProcAddress(module, "SnmpExtensionInit"));
    auto query =
        reinterpret_cast<PFNSNMPEXTENSIONQUERY>(GetProcAddress(module, "SnmpExtensionQuery"));
    auto trap = reinterpret_cast<PFNSNMPEXTENSIONTRAP>(GetProcAddress(module, "SnmpExtensionTrap"));
    ASSERT_TRUE(init && query && trap);

    HANDLE event = nullptr;
    AsnObjectIdentifier view{};
    ASSERT_TRUE(init(GetTickCount(), &event, &view));
    EXPECT_NE(event, nullptr);
    EXPECT_EQ(orb::OidToText(view), agenttest::kRoot);

    agenttest::Request request{agenttest::below(".3.2.0")};
    AsnInteger32 status = -1, index = 0;
    ASSERT_TRUE(query(SNMP_PDU_GET, &request.list(), &status, &index));
    EXPECT_EQ(status, SNMP_ERRORSTATUS_NOERROR);
    EXPECT_EQ(request.text(0), "01.00.1");
    EXPECT_FALSE(trap(nullptr, nullptr, nullptr, nullptr, nullptr));
}

}  // namespace
