// The real orbweb over a repository made by a real publishing pass.
#include <set>

#include "tests/orbweb/console_fixture.h"
#include "tests/pgtest/pg_scratch.h"

namespace orbwebtest {
namespace {

void CollectUuids(const Json& nodes, std::multiset<std::string>* out) {
    for (const Json& node : nodes) {
        out->insert(node["uuid"].get<std::string>());
        CollectUuids(node["children"], out);
    }
}

Json GetJson(httplib::Client& client, const std::string& path) {
    auto answer = client.Get(path.c_str());
    EXPECT_TRUE(answer) << path;
    if (!answer) return Json();
    EXPECT_EQ(answer->status, 200) << path << ": " << answer->body;
    EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json") << path;
    return Json::parse(answer->body, nullptr, false);
}

std::string Bare(const std::string& uuid) { return uuid.substr(1, uuid.size() - 2); }

// Objects of a class on the map, by name.
std::string FindOnMap(const Json& map, const std::string& cls, const std::string& name) {
    std::vector<const Json*> pending;
    for (const Json& group : map["groups"])
        for (const Json& machine : group["machines"]) pending.push_back(&machine);
    while (!pending.empty()) {
        const Json& node = *pending.back();
        pending.pop_back();
        if (node["class"] == cls && node["name"] == name) return Bare(node["uuid"]);
        for (const Json& child : node["children"]) pending.push_back(&child);
    }
    return "";
}

TEST_F(PublishedConsole, ListsExactlyWhatOrbcliTreeLists) {
    auto client = allowed_->Client();
    const Json tree = Json::parse(Orbcli({"tree", "--json"}));
    std::multiset<std::string> expected, shown;
    CollectUuids(tree["machines"], &expected);
    CollectUuids(tree["views"], &expected);
    const Json map = GetJson(*client, "/api/map");
    for (const Json& group : map["groups"]) {
        for (const Json& machine : group["machines"]) EXPECT_EQ(machine["class"], group["class"]);
        CollectUuids(group["machines"], &shown);
    }
    CollectUuids(GetJson(*client, "/api/views")["views"], &shown);
    EXPECT_EQ(shown, expected);
    EXPECT_GE(expected.size(), 20u);
    // The HTML map links every object the tree shows under a machine.
    std::multiset<std::string> machines;
    CollectUuids(tree["machines"], &machines);
    auto page = client->Get("/");
    ASSERT_TRUE(page);
    for (const std::string& uuid : machines)
        EXPECT_NE(page->body.find(Bare(uuid)), std::string::npos) << uuid;
    // The machine found by its address says so; the others do not.
    EXPECT_TRUE(map["groups"][2]["machines"][0]["known_by_address"]) << map["groups"][2];
    EXPECT_FALSE(map["groups"][0]["machines"][0]["known_by_address"]);
    EXPECT_NE(page->body.find("known only by its address"), std::string::npos);
}

TEST_F(PublishedConsole, EveryPageAnswersWithItsType) {
    auto client = allowed_->Client();
    const std::vector<std::pair<std::string, std::string>> pages = {
        {"/", "text/html; charset=utf-8"},
        {"/views", "text/html; charset=utf-8"},
        {"/health", "application/json"},
        {"/api/map", "application/json"},
        {"/api/views", "application/json"},
        {"/static/style.css", "text/css; charset=utf-8"},
        {"/static/refresh.js", "text/javascript; charset=utf-8"}};
    std::vector<std::pair<std::string, std::string>> all = pages;
    const Json tree = Json::parse(Orbcli({"tree", "--json"}));
    std::vector<const Json*> pending;
    for (const Json& node : tree["machines"]) pending.push_back(&node);
    for (const Json& node : tree["views"]) pending.push_back(&node);
    while (!pending.empty()) {
        const Json& node = *pending.back();
        pending.pop_back();
        const std::string tail = "/" + node["class"].get<std::string>() + "/" + Bare(node["uuid"]);
        all.push_back({"/object" + tail, "text/html; charset=utf-8"});
        all.push_back({"/api/object" + tail, "application/json"});
        for (const Json& child : node["children"]) pending.push_back(&child);
    }
    for (const auto& [path, type] : all) {
        auto answer = client->Get(path.c_str());
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, 200) << path;
        EXPECT_EQ(answer->get_header_value("Content-Type"), type) << path;
        const std::string policy = answer->get_header_value("Content-Security-Policy");
        EXPECT_NE(policy.find("script-src 'self'"), std::string::npos) << path;
        EXPECT_EQ(policy.find("unsafe-inline"), std::string::npos) << path;
        EXPECT_EQ(answer->get_header_value("X-Content-Type-Options"), "nosniff");
        if (type.rfind("text/html", 0) == 0) {
            // Scripts only from the console's own file, no inline style.
            EXPECT_EQ(answer->body.find("<script>"), std::string::npos) << path;
            EXPECT_EQ(answer->body.find(" style="), std::string::npos) << path;
            EXPECT_EQ(answer->body.find("<img"), std::string::npos) << path;
        }
    }
    const Json health = GetJson(*client, "/health");
    EXPECT_EQ(health["status"], "ok");
    EXPECT_EQ(health["repository"], "ORBWEB");
}

TEST_F(PublishedConsole, ObjectPageHasPropertiesLinksAndMenu) {
    auto client = allowed_->Client();
    const std::string archive = FindOnMap(GetJson(*client, "/api/map"), "LumoraVB", "ARCHIVE");
    ASSERT_FALSE(archive.empty());
    const Json object = GetJson(*client, "/api/object/LumoraVB/" + archive);
    std::map<std::string, std::string> types;
    for (const Json& property : object["properties"]) types[property["name"]] = property["type"];
    EXPECT_EQ(types["uuid"], "uuid");
    EXPECT_EQ(types["status"], "integer");
    EXPECT_EQ(types["address"], "string");
    ASSERT_EQ(object["links_in"].size(), 2u);  // its container and the view
    EXPECT_EQ(object["links_out"].size(), 0u);
    ASSERT_EQ(object["menu"].size(), 2u);
    // The launcher's default command for the host the object hangs under.
    EXPECT_EQ(object["menu"][0]["address"], "http://127.0.0.13:6060");
    EXPECT_EQ(object["menu"][1]["host"], "127.0.0.13");
    auto page = client->Get(("/object/LumoraVB/" + archive).c_str());
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("href=\"http://127.0.0.13:6060\""), std::string::npos);
    EXPECT_NE(page->body.find("name=\"token\""), std::string::npos);
    EXPECT_NE(page->body.find("127.0.0.13-Sentispace"), std::string::npos);
    // A machine has no menu.
    const std::string machine =
        FindOnMap(GetJson(*client, "/api/map"), "Unclassified_TCP", "127.0.0.13");
    EXPECT_TRUE(GetJson(*client, "/api/object/Unclassified_TCP/" + machine)["menu"].empty());
}

TEST_F(PublishedConsole, UnknownPathsAnswer404AndOtherMethods405) {
    auto client = allowed_->Client();
    const std::string zero = "00000000-0000-0000-0000-000000000000";
    for (const std::string& path :
         {"/object/LumoraVB/" + zero, "/api/object/LumoraVB/" + zero, "/object/NoSuchClass/" + zero,
          std::string("/object/LumoraVB/not-a-uuid"), std::string("/nothing"),
          std::string("/static/../CMakeCache.txt"), std::string("/static/other.css"),
          std::string("/api/agent/LumoraVB/") + zero}) {
        auto answer = client->Get(path.c_str());
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, 404) << path;
    }
    EXPECT_EQ(client->Get("/api/nothing")->get_header_value("Content-Type"), "application/json");
    auto post = client->Post("/", "", "application/x-www-form-urlencoded");
    ASSERT_TRUE(post);
    EXPECT_EQ(post->status, 405);
    EXPECT_EQ(post->get_header_value("Allow"), "GET, HEAD");
    EXPECT_EQ(client->Delete("/api/map")->status, 405);
    EXPECT_EQ(client->Put("/views", "", "text/plain")->status, 405);
    EXPECT_EQ(client->Get(("/action/update-host/LumoraVB/" + zero).c_str())->status, 405);
    EXPECT_EQ(client->Post("/elsewhere", "", "text/plain")->status, 404);
}

TEST_F(PublishedConsole, AnswersOnlyToItsLoopbackNames) {
    for (const std::string& host :
         {std::string("127.0.0.1:"), std::string("localhost:"), std::string("LOCALHOST:")}) {
        auto client = allowed_->Client();
        client->set_default_headers({{"Host", host + std::to_string(allowed_->port())}});
        EXPECT_EQ(client->Get("/health")->status, 200) << host;
    }
    // A rebound name of another site, or the right name on another port.
    for (const std::string& host :
         {std::string("attacker.example:") + std::to_string(allowed_->port()),
          std::string("127.0.0.1:1")}) {
        auto client = allowed_->Client();
        client->set_default_headers({{"Host", host}});
        EXPECT_EQ(client->Get("/api/map")->status, 403) << host;
    }
}

TEST_F(PublishedConsole, HostileNamesShowAsText) {
    auto client = allowed_->Client();
    auto map = client->Get("/");
    ASSERT_TRUE(map);
    EXPECT_NE(map->body.find("&lt;img src=x onerror=alert(1)&gt;"), std::string::npos);
    EXPECT_NE(map->body.find("&lt;svg/onload=1&gt;"), std::string::npos);
    EXPECT_EQ(map->body.find("<img"), std::string::npos);
    EXPECT_EQ(map->body.find("<svg"), std::string::npos);
    const std::string server =
        FindOnMap(Json::parse(client->Get("/api/map")->body), "LumoraVB", "<svg/onload=1>");
    ASSERT_FALSE(server.empty());
    for (const std::string& path : {"/object/LumoraVB/" + server, std::string("/views")}) {
        auto page = client->Get(path.c_str());
        ASSERT_TRUE(page);
        EXPECT_NE(page->body.find("&lt;svg/onload=1&gt;"), std::string::npos) << path;
        EXPECT_EQ(page->body.find("<svg"), std::string::npos) << path;
    }
    // JSON keeps the name as it is, as a string.
    EXPECT_EQ(GetJson(*client, "/api/object/LumoraVB/" + server)["properties"][1]["value"],
              "<svg/onload=1>");
}

TEST_F(PublishedConsole, UpdateHostRunsOnlyWhenAllowedWithTheToken) {
    const std::string hosta =
        FindOnMap(Json::parse(allowed_->Client()->Get("/api/map")->body), "Vaultline", "HOSTA:1");
    ASSERT_FALSE(hosta.empty());
    const std::string action = "/api/action/update-host/Vaultline/" + hosta;
    const std::string form = "application/x-www-form-urlencoded";
    auto label = [] { return Orbcli({"object", "list", "Vaultline", "name=HOSTA:1", "--json"}); };
    const std::string before = label();
    ASSERT_NE(before.find("\"label\": \"HOSTA:1\""), std::string::npos) << before;

    // Without --allow-actions: no token is handed out and none is taken.
    auto refused = refused_->Client();
    const Json offered = GetJson(*refused, "/api/object/Vaultline/" + hosta);
    EXPECT_FALSE(offered["menu"][1]["allowed"]);
    EXPECT_FALSE(offered["menu"][1].contains("token"));
    const std::string token =
        GetJson(*allowed_->Client(), "/api/object/Vaultline/" + hosta)["menu"][1]["token"];
    EXPECT_EQ(refused->Post(action.c_str(), "token=" + token, form.c_str())->status, 403);
    // Allowed, but without the token, with another, or one for another object.
    auto client = allowed_->Client();
    EXPECT_EQ(client->Post(action.c_str(), "", form.c_str())->status, 403);
    EXPECT_EQ(client->Post(action.c_str(), "token=" + std::string(64, 'a'), form.c_str())->status,
              403);
    const std::string archive = FindOnMap(GetJson(*client, "/api/map"), "LumoraVB", "ARCHIVE");
    const std::string other =
        GetJson(*client, "/api/object/LumoraVB/" + archive)["menu"][1]["token"];
    EXPECT_EQ(client->Post(action.c_str(), "token=" + other, form.c_str())->status, 403);
    EXPECT_EQ(label(), before);

    // Both: ksuxgo -d HOSTA repairs the label, and the map shows it at once.
    auto done = client->Post(action.c_str(), "token=" + token, form.c_str());
    ASSERT_TRUE(done);
    ASSERT_EQ(done->status, 200) << done->body;
    const Json outcome = Json::parse(done->body);
    EXPECT_TRUE(outcome["ok"]) << outcome;
    EXPECT_EQ(outcome["host"], "HOSTA");
    EXPECT_NE(label().find("\"label\": \"HOSTA\""), std::string::npos);
    const Json map = GetJson(*client, "/api/map");
    bool seen = false;
    for (const Json& group : map["groups"])
        for (const Json& machine : group["machines"])
            if (machine["name"] == "HOSTA")
                seen = machine["children"][0]["children"][0]["label"] == "HOSTA";
    EXPECT_TRUE(seen) << map;
    // The page's form posts the same action with the page's own token.
    auto page = client->Get(("/object/Vaultline/" + hosta).c_str());
    const std::string form_action = "/action/update-host/Vaultline/" + hosta;
    EXPECT_NE(page->body.find("action=\"" + form_action + "\""), std::string::npos);
    const std::string marker = "name=\"token\" value=\"";
    const size_t at = page->body.find(marker);
    ASSERT_NE(at, std::string::npos);
    const std::string pageToken = page->body.substr(at + marker.size(), 64);
    auto again = client->Post(form_action.c_str(), "token=" + pageToken, form.c_str());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
    EXPECT_NE(again->body.find("ksuxgo -d HOSTA: done (exit 0)"), std::string::npos) << again->body;
}

TEST_F(PublishedConsole, LiveAgentShowsItsServices) {
    auto client = allowed_->Client();
    const std::string hosta = FindOnMap(GetJson(*client, "/api/map"), "Vaultline", "HOSTA:1");
    const Json agent = GetJson(*client, "/api/agent/Vaultline/" + hosta);
    ASSERT_TRUE(agent["answered"]) << agent;
    EXPECT_EQ(agent["agent_state"], "Agent is Active");
    ASSERT_EQ(agent["services"].size(), 8u);
    EXPECT_EQ(agent["services"][0]["service"], "NWSDBEngine");
    for (const Json& service : agent["services"]) EXPECT_EQ(service["state"], "Running") << service;
    EXPECT_TRUE(agent["jobs"].is_number()) << agent;
    EXPECT_TRUE(agent["media"].is_number());
    EXPECT_TRUE(agent["tape_drives"].is_number());
    EXPECT_TRUE(agent["worst_watcher_status"].is_number());
    auto page = client->Get(("/agent/Vaultline/" + hosta).c_str());
    ASSERT_TRUE(page);
    EXPECT_NE(page->body.find("NWTIRPC</th><td class=\"service\">Running"), std::string::npos);
}

TEST_F(PublishedConsole, LiveAgentAnswersTheSnmpV3User) {
    auto client = usm_->Client();
    const std::string hosta = FindOnMap(GetJson(*client, "/api/map"), "Vaultline", "HOSTA:1");
    const Json agent = GetJson(*client, "/api/agent/Vaultline/" + hosta);
    ASSERT_TRUE(agent["answered"]) << agent;
    ASSERT_EQ(agent["services"].size(), 8u);
    EXPECT_EQ(agent["services"][7]["state"], "Running");
    EXPECT_TRUE(agent["jobs"].is_number()) << agent;
}

TEST_F(PublishedConsole, AddressWithoutAgentIsNoAnswer) {
    auto client = allowed_->Client();
    const std::string server = FindOnMap(GetJson(*client, "/api/map"), "LumoraVB", "BKSRV01");
    const uint64_t start = GetTickCount();
    const Json agent = GetJson(*client, "/api/agent/LumoraVB/" + server);
    const uint64_t took = GetTickCount() - start;
    EXPECT_FALSE(agent["answered"]);
    EXPECT_EQ(agent["state"], "no answer");
    EXPECT_EQ(agent["address"], "127.0.0.11");
    // One request's time-out (300 ms), not a wait for the tables.
    EXPECT_LT(took, 3000u);
    auto page = client->Get(("/agent/LumoraVB/" + server).c_str());
    EXPECT_NE(page->body.find("no answer from 127.0.0.11"), std::string::npos);
}

TEST_F(PublishedConsole, EventsTellOfChangesOnly) {
    auto client = allowed_->Client();
    const uint64_t shown = GetJson(*client, "/health")["generation"];
    // Nothing changes: no "change" event while the page listens.
    std::string received;
    client->set_read_timeout(1, 500000);
    client->Get(("/events?since=" + std::to_string(shown)).c_str(),
                [&](const char* data, size_t length) {
                    received.append(data, length);
                    return true;
                });
    EXPECT_EQ(received.find("event: change"), std::string::npos) << received;
    // A change made by another program: the event names the next generation.
    Orbcli({"object", "add", "WindowsNT_Server", "name=LATECOMER"});
    received.clear();
    client->set_read_timeout(20, 0);
    client->Get(("/events?since=" + std::to_string(shown)).c_str(),
                [&](const char* data, size_t length) {
                    received.append(data, length);
                    return received.find("\n\n") == std::string::npos;
                });
    EXPECT_NE(received.find("event: change\ndata: " + std::to_string(shown + 1)), std::string::npos)
        << received;
    EXPECT_NE(Json::parse(client->Get("/api/map")->body).dump().find("LATECOMER"),
              std::string::npos);
}

// The same pass into a repository in PostgreSQL: the console shows what
// orbcli shows there, and follows a change without a file to look at.
TEST(PostgresConsole, ShowsAndFollowsTheRepository) {
    if (orbtest::PgConnection().empty()) GTEST_SKIP() << orbtest::kPgSkip;
    const std::string root = NewMachineRoot();
    orbtest::PgSchema schema;
    schema.Register("ORBWEB");
    ASSERT_EQ(Publish(), "");
    Console console;
    ASSERT_TRUE(console.Start(root, {"--poll-ms", "200"})) << Slurp(console.log());
    auto client = console.Client();
    const Json tree = Json::parse(Orbcli({"tree", "--json"}));
    std::multiset<std::string> expected, shown;
    CollectUuids(tree["machines"], &expected);
    CollectUuids(tree["views"], &expected);
    const Json map = GetJson(*client, "/api/map");
    for (const Json& group : map["groups"]) CollectUuids(group["machines"], &shown);
    CollectUuids(GetJson(*client, "/api/views")["views"], &shown);
    EXPECT_EQ(shown, expected) << map.dump();
    const uint64_t before = GetJson(*client, "/health")["generation"];
    Orbcli({"object", "add", "WindowsNT_Server", "name=LATECOMER"});
    std::string received;
    client->Get(("/events?since=" + std::to_string(before)).c_str(),
                [&](const char* data, size_t length) {
                    received.append(data, length);
                    return received.find("\n\n") == std::string::npos;
                });
    EXPECT_NE(received.find("event: change"), std::string::npos) << received;
    EXPECT_NE(client->Get("/api/map")->body.find("LATECOMER"), std::string::npos);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}

}  // namespace
}  // namespace orbwebtest
