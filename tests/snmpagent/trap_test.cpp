// The message queues and the traps the SNMP service fetches from them.
#include "snmpagent/quehlp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/sync.h"
#include "snmpagent/trap.h"
#include "tests/snmpagent/agent_harness.h"

namespace {

std::string receive(const char* queue) {
    BYTE* bytes = nullptr;
    UINT length = 0;
    if (mqReceive(queue, &bytes, &length, 1) != 0) return "<none>";
    std::string text(reinterpret_cast<char*>(bytes), length);
    free(bytes);
    return text;
}

TEST(MessageQueue, KeepsMessagesInOrderAndNamesWithoutCase) {
    ASSERT_EQ(mqCreate("Order_Queue", nullptr), 0);
    EXPECT_EQ(mqCreate("ORDER_queue", nullptr), 17);
    EXPECT_EQ(mqSend("order_queue", "one", 3), 0);
    EXPECT_EQ(mqSend("ORDER_QUEUE", "two", 3), 0);
    EXPECT_EQ(mqSend("Order_Queue", "", 0), 0);
    EXPECT_EQ(receive("order_queue"), "one");
    EXPECT_EQ(receive("order_queue"), "two");
    EXPECT_EQ(receive("order_queue"), "");
    EXPECT_EQ(receive("order_queue"), "<none>");

    EXPECT_EQ(mqSend("no_such_queue", "x", 1), 2);
    EXPECT_EQ(receive("no_such_queue"), "<none>");
    BYTE* bytes = nullptr;
    EXPECT_EQ(mqReceive("order_queue", &bytes, nullptr, 1), 2);
    EXPECT_EQ(mqReceive("order_queue", nullptr, nullptr, 1), 2);
}

TEST(MessageQueue, LongNamesCountByTheirFirst65Characters) {
    const std::string name(65, 'q');
    ASSERT_EQ(mqCreate((name + "-first").c_str(), nullptr), 0);
    EXPECT_EQ(mqCreate(name.c_str(), nullptr), 17);
    EXPECT_EQ(mqSend(name.c_str(), "x", 1), 0);
    EXPECT_EQ(receive((name + "-other").c_str()), "x");
}

TEST(MessageQueue, OwnEventFollowsTheQueueAndGivenEventIsSignalled) {
    orb::Event given(false, false);
    ASSERT_EQ(mqCreate("given_event", &given), 0);
    EXPECT_EQ(mqSend("given_event", "a", 1), 0);
    EXPECT_TRUE(given.IsSet());
    EXPECT_EQ(receive("given_event"), "a");

    // A waiting receiver is woken by a sender on another thread.
    ASSERT_EQ(mqCreate("waited_on", nullptr), 0);
    orb::Thread sender([] { mqSend("waited_on", "late", 4); });
    BYTE* bytes = nullptr;
    UINT length = 0;
    ASSERT_EQ(mqReceive("waited_on", &bytes, &length, 0), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), length), "late");
    free(bytes);
    sender.Join();
}

TEST(MessageQueue, AFullQueueRefusesFurtherMessages) {
    ASSERT_EQ(mqCreate("bounded", nullptr), 0);
    for (LONG i = 0; i < kQueueMaxMessages; ++i) ASSERT_EQ(mqSend("bounded", "m", 1), 0);
    EXPECT_EQ(mqSend("bounded", "over", 4), 12);
    EXPECT_EQ(receive("bounded"), "m");
    EXPECT_EQ(mqSend("bounded", "room", 4), 0);
}

// The trap queue is shared with the agent's threads, which send nothing on a
// test machine without backup services or watchers.
TEST(AgentTrap, QueuedMessagesBecomeTrapsOldestFirst) {
    HANDLE trapEvent = agenttest::startAgent();
    ASSERT_NE(trapEvent, nullptr);
    while (SnmpExtensionTrap(nullptr, nullptr, nullptr, nullptr, nullptr)) {
    }
    for (BYTE code : {BYTE{12}, BYTE{1}, BYTE{17}}) sendTrap(code);
    EXPECT_TRUE(trapEvent->Wait(0));

    for (AsnInteger32 code : {12, 1, 17}) {
        AsnObjectIdentifier enterprise{};
        AsnInteger32 generic = -1, specific = -1;
        AsnTimeticks stamp = 0;
        SnmpVarBindList bindings{reinterpret_cast<SnmpVarBind*>(&stamp), 7};
        ASSERT_TRUE(SnmpExtensionTrap(&enterprise, &generic, &specific, &stamp, &bindings));
        EXPECT_EQ(orb::OidToText(enterprise), agenttest::kRoot);
        EXPECT_EQ(generic, SNMP_GENERICTRAP_ENTERSPECIFIC);
        EXPECT_EQ(specific, code);
        EXPECT_EQ(bindings.len, 0u);
        EXPECT_EQ(bindings.list, nullptr);
    }

    // Nothing waiting: FALSE, and the out-parameters stay as they were.
    AsnObjectIdentifier enterprise{3, nullptr};
    AsnInteger32 generic = 41, specific = 42;
    AsnTimeticks stamp = 43;
    SnmpVarBindList bindings{nullptr, 44};
    EXPECT_FALSE(SnmpExtensionTrap(&enterprise, &generic, &specific, &stamp, &bindings));
    EXPECT_EQ(enterprise.idLength, 3u);
    EXPECT_EQ(generic, 41);
    EXPECT_EQ(specific, 42);
    EXPECT_EQ(stamp, 43u);
    EXPECT_EQ(bindings.len, 44u);
    EXPECT_TRUE(agenttest::traced("SnmpExtensionTrap: Returning FALSE\n"));
}

TEST(AgentTrap, CodeIsASignedByteAndTheStampCountsFromTimeZero) {
    agenttest::startAgent();
    while (SnmpExtensionTrap(nullptr, nullptr, nullptr, nullptr, nullptr)) {
    }
    sendTrap(0xF0);
    AsnInteger32 specific = 0;
    AsnTimeticks first = 0, second = 0;
    ASSERT_TRUE(SnmpExtensionTrap(nullptr, nullptr, &specific, &first, nullptr));
    EXPECT_EQ(specific, -16);
    static_cast<orb::VirtualClock&>(orb::CurrentClock()).Advance(1500);
    sendTrap(2);
    ASSERT_TRUE(SnmpExtensionTrap(nullptr, nullptr, &specific, &second, nullptr));
    EXPECT_EQ(second - first, 1500u);
}

}  // namespace
