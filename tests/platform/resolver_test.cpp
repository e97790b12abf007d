#include "platform/resolver.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

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

// ORB_HOSTS: the named file is the only source of answers.
TEST(Resolver, HostsFileAnswersAloneWhenNamed) {
    auto path = std::filesystem::temp_directory_path() / ("orb-hosts-" + std::to_string(getpid()));
    {
        std::ofstream file(path);
        file << "# demo machines\n"
                "127.0.0.11   bksrv01.corp.test  BKSRV01 bk1   # Windows\n"
                "\n"
                "::1          ip6only\n"
                "not-an-addr  broken\n"
                "127.0.0.12\n"
                "127.0.0.13   unixbk\n"
                "127.0.0.11   second.line.test\n";
    }
    ASSERT_EQ(setenv("ORB_HOSTS", path.c_str(), 1), 0);
    orb::Resolver& resolver = orb::CurrentResolver();
    EXPECT_NE(&resolver, &orb::SystemResolver());
    orb::HostEntry entry;
    ASSERT_TRUE(resolver.HostByName("bksrv01", &entry));  // an alias, any letter case
    EXPECT_EQ(entry.name, "bksrv01.corp.test");
    EXPECT_EQ(entry.aliases, (std::vector<std::string>{"BKSRV01", "bk1"}));
    EXPECT_EQ(entry.addresses, std::vector<std::string>{"127.0.0.11"});
    ASSERT_TRUE(resolver.HostByAddr("127.0.0.11", &entry));  // the first line wins
    EXPECT_EQ(entry.name, "bksrv01.corp.test");
    ASSERT_TRUE(resolver.HostByName("UNIXBK", &entry));
    EXPECT_EQ(entry.addresses, std::vector<std::string>{"127.0.0.13"});
    // Not in the file: unknown, even what the system would know.
    EXPECT_FALSE(resolver.HostByName("localhost", &entry));
    EXPECT_FALSE(resolver.HostByAddr("127.0.0.1", &entry));
    EXPECT_FALSE(resolver.HostByName("ip6only", &entry));
    EXPECT_FALSE(resolver.HostByName("broken", &entry));
    EXPECT_FALSE(resolver.HostByAddr("127.0.0.12", &entry));  // an address without a name
    EXPECT_FALSE(resolver.HostByAddr("300.0.0.1", &entry));
    EXPECT_FALSE(resolver.HostByName("", &entry));
    // A dotted quad stands for itself, known to the file or not; IPv6 text
    // is told apart but never looked up.
    EXPECT_EQ(orb::HostAddresses("bk1"), std::vector<std::string>{"127.0.0.11"});
    EXPECT_EQ(orb::HostAddresses("127.0.0.1"), std::vector<std::string>{"127.0.0.1"});
    EXPECT_TRUE(orb::HostAddresses("localhost").empty());
    EXPECT_TRUE(orb::HostAddresses("::1").empty());
    EXPECT_TRUE(orb::IsIPv6Literal("::1"));
    EXPECT_FALSE(orb::IsIPv6Literal("127.0.0.1"));
    EXPECT_FALSE(orb::IsIPv6Literal("ip6only"));

    std::filesystem::remove(path);
    EXPECT_FALSE(resolver.HostByName("bksrv01", &entry));  // a missing file knows nobody
    ASSERT_EQ(unsetenv("ORB_HOSTS"), 0);
    EXPECT_EQ(&orb::CurrentResolver(), &orb::SystemResolver());
}

}  // namespace
