// The console's pages and tokens without a server.
#include "framework/orbweb/pages.h"

#include <gtest/gtest.h>

#include "framework/orbweb/agent_status.h"
#include "framework/orbweb/console.h"

namespace orbweb {
namespace {

orbcli::Value Text(const std::string& text) {
    return {orbcli::kString, {text.begin(), text.end()}, false};
}

orbcli::Value Integer(int32_t number) {
    orbcli::Value value{orbcli::kInteger, std::vector<uint8_t>(4), false};
    std::memcpy(value.bytes.data(), &number, 4);
    return value;
}

TEST(Pages, MarkupInNamesStaysText) {
    EXPECT_EQ(Escape("<a href=\"x\">'&'</a>"),
              "&lt;a href=&quot;x&quot;&gt;&#39;&amp;&#39;&lt;/a&gt;");
    Snapshot snapshot;
    orbcli::TreeNode machine;
    machine.cls = "WindowsNT_Server";
    machine.uuid = "{1ABB1704-FBF6-46DD-A1A1-F853E8E0BFA5}";
    machine.name = Text("\"><script>alert(1)</script>");
    machine.label = Text("<b onmouseover=x>");
    machine.status = Integer(3);
    snapshot.tree.machines.push_back(machine);
    const std::string page = MapPage(snapshot, "<i>REPO</i>");
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find("<b "), std::string::npos);
    EXPECT_EQ(page.find("<i>"), std::string::npos);
    EXPECT_NE(page.find("&quot;&gt;&lt;script&gt;"), std::string::npos);
    EXPECT_NE(page.find("status-critical"), std::string::npos);
}

TEST(Pages, StatusColoursAndAddresses) {
    EXPECT_STREQ(LookOf(Integer(1)).css, "status-normal");
    EXPECT_STREQ(LookOf(Integer(2)).css, "status-warning");
    EXPECT_STREQ(LookOf(Integer(3)).css, "status-critical");
    EXPECT_STREQ(LookOf(Integer(0)).css, "status-unknown");
    EXPECT_EQ(LookOf(Integer(7)).text, "status 7");
    EXPECT_STREQ(LookOf(orbcli::Value{orbcli::kInteger, {}, true}).css, "status-none");
    // Only names a route can take become addresses.
    EXPECT_EQ(ObjectPath("LumoraVB", "{1ABB1704-FBF6-46DD-A1A1-F853E8E0BFA5}"),
              "/object/LumoraVB/1ABB1704-FBF6-46DD-A1A1-F853E8E0BFA5");
    EXPECT_EQ(ObjectPath("Lumora/../VB", "{1ABB1704-FBF6-46DD-A1A1-F853E8E0BFA5}"), "");
    EXPECT_EQ(ObjectPath("LumoraVB", "{1ABB1704-FBF6-46DD-A1A1-F853E8E0BF\"5}"), "");
    for (const char* good : {"127.0.0.1", "10.1.1.20", "255.255.255.255"})
        EXPECT_TRUE(IsIpv4Address(good)) << good;
    for (const char* bad : {"", "1.2.3", "1.2.3.4.5", "256.1.1.1", "1.2.3.4:161", "tcp:1.2.3.4",
                            "host.example", "1..2.3", "0001.2.3.4"})
        EXPECT_FALSE(IsIpv4Address(bad)) << bad;
}

TEST(Pages, AgentWithoutAnswerSaysSo) {
    AgentStatus status;
    status.address = "<b>10.0.0.1</b>";
    const std::string page = AgentPage(status);
    EXPECT_NE(page.find("not asked"), std::string::npos);
    EXPECT_EQ(page.find("<b>"), std::string::npos);
    status.asked = true;
    status.address = "10.0.0.1";
    EXPECT_NE(AgentPage(status).find("no answer from 10.0.0.1"), std::string::npos);
    EXPECT_EQ(AgentJson(status)["state"], "no answer");
}

TEST(Tokens, OnlyForTheirObject) {
    TokenBook book;
    const std::string a = book.Issue("/object/LumoraVB/A");
    const std::string b = book.Issue("/object/LumoraVB/B");
    EXPECT_NE(a, b);
    EXPECT_EQ(a.size(), 64u);
    EXPECT_TRUE(book.Accept(a, "/object/LumoraVB/A"));
    EXPECT_FALSE(book.Accept(a, "/object/LumoraVB/B"));
    EXPECT_FALSE(book.Accept("", "/object/LumoraVB/A"));
    // The oldest go first when too many are out.
    for (int i = 0; i < 5000; ++i) book.Issue("/object/LumoraVB/C");
    EXPECT_FALSE(book.Accept(a, "/object/LumoraVB/A"));
}

}  // namespace
}  // namespace orbweb
