#include "platform/resolver.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class FixedResolver : public orb::Resolver {
public:
    bool HostByName(const std::string& name, orb::HostEntry* out) override {
        if (name != "vault01") return false;
        *out = {"vault01.example.test", {"vault01"}, {"10.1.2.3"}};
        return true;
    }
    bool HostByAddr(const std::string& address, orb::HostEntry* out) override {
        return HostByName(address == "10.1.2.3" ? "vault01" : "", out);
    }
};

TEST(Resolver, TestResolverReplacesAndRestoresTheSystemOne) {
    FixedResolver fixed;
    orb::SetResolver(&fixed);
    orb::HostEntry entry;
    EXPECT_TRUE(orb::CurrentResolver().HostByAddr("10.1.2.3", &entry));
    EXPECT_EQ(entry.name, "vault01.example.test");
    EXPECT_FALSE(orb::CurrentResolver().HostByName("localhost", &entry));
    orb::SetResolver(nullptr);
    EXPECT_EQ(&orb::CurrentResolver(), &orb::SystemResolver());
}

TEST(Resolver, SystemResolverAnswersForLoopbackOnly) {
    orb::Resolver& system = orb::SystemResolver();
    orb::HostEntry entry;
    ASSERT_TRUE(system.HostByName("localhost", &entry));
    EXPECT_NE(std::find(entry.addresses.begin(), entry.addresses.end(), "127.0.0.1"), entry.addresses.end());
    ASSERT_TRUE(system.HostByName("127.0.0.1", &entry));
    EXPECT_EQ(entry.addresses, std::vector<std::string>{"127.0.0.1"});
    ASSERT_TRUE(system.HostByAddr("127.0.0.1", &entry));
    EXPECT_FALSE(entry.name.empty());
    EXPECT_EQ(entry.addresses, std::vector<std::string>{"127.0.0.1"});
    // Malformed input is refused before anything is asked of the network.
    EXPECT_FALSE(system.HostByAddr("not-an-address", &entry));
    EXPECT_FALSE(system.HostByAddr("300.1.1.1", &entry));
    EXPECT_FALSE(system.HostByName("", &entry));
}

}  // namespace
