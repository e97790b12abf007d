// quill and orbcli as installers, operators and scripts run them: the real
// programs on a private machine root, its default repository a file or a
// schema of the tests' PostgreSQL server.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "platform/registry.h"
#include "tests/orbcli/run_tool.h"
#include "tests/pgtest/pg_scratch.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/damaged_hive.h"
#include "tests/platform/scratch_dir.h"
#include "tests/platform/small_disk.h"

namespace {

using nlohmann::json;
using orbtest::Outcome;

const char* const kApiKey = "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Orbmap/API";

enum class Backend { Sqlite, Postgres };

class ToolsTest : public ::testing::TestWithParam<Backend> {
  protected:
    void SetUp() override {
        if (OnPostgres() && orbtest::PgConnection().empty()) GTEST_SKIP() << orbtest::kPgSkip;
    }
    bool OnPostgres() const { return GetParam() == Backend::Postgres; }
    // orbcli repo create NAME in a schema of its own on the tests' server.
    Outcome CreateOnServer(const std::string& name) {
        schemas_.push_back(std::make_unique<orbtest::PgSchema>());
        return Orbcli({"repo", "create", name, "--backend", "postgresql", "--connection",
                       orbtest::PgConnection(), "--schema", schemas_.back()->name()});
    }
    Outcome Orbcli(const std::vector<std::string>& args) {
        return orbtest::RunTool(dir_.path(), "orbcli", args);
    }
    Outcome Quill(const std::vector<std::string>& args, const std::string& input = "") {
        return orbtest::RunTool(dir_.path(), "quill", args, input);
    }
    std::string Write(const std::string& name, const std::string& text) {
        std::ofstream(dir_ / name) << text;
        return dir_ / name;
    }
    // The product's definitions in the machine's new default repository
    // (on the server, made there by orbcli first).
    void Install() {
        if (OnPostgres()) {
            const Outcome made = CreateOnServer("TESTBOX");
            ASSERT_EQ(made.exit, 0) << made.err;
        }
        const Outcome run = Quill({"/q", "/g", "/x", lumora_});
        ASSERT_EQ(run.exit, 0) << run.err;
    }

    // Everything a listing shows: every class with its properties, every
    // object of the classes the tests touch, and the containment.
    std::string Snapshot() {
        std::string all = Orbcli({"repo", "list"}).out;
        const std::string classes = Orbcli({"class", "list"}).out;
        std::istringstream names(classes);
        for (std::string cls; std::getline(names, cls);) all += Orbcli({"class", "show", cls}).out;
        for (const char* cls : {"ManagedObjectRoot", "LumoraVB", "Inclusion"})
            all += Orbcli({"object", "list", cls}).out;
        return all + Orbcli({"tree", "--json"}).out;
    }

    std::string Add(const std::vector<std::string>& args) {
        std::vector<std::string> full{"object", "add"};
        full.insert(full.end(), args.begin(), args.end());
        const Outcome run = Orbcli(full);
        EXPECT_EQ(run.exit, 0) << run.err;
        return run.out.substr(0, run.out.find('\n'));
    }
    void Link(const std::string& parentClass, const std::string& parent,
              const std::string& childClass, const std::string& child) {
        Add({"Inclusion", "parent_class=" + parentClass, "parent_uuid=" + parent,
             "child_class=" + childClass, "child_uuid=" + child, "child_sequence_no=0"});
    }

    std::vector<std::unique_ptr<orbtest::PgSchema>> schemas_;
    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_ / "machine"};
    orbtest::ScopedEnv computer_{"ORB_COMPUTERNAME", "TESTBOX"};
    const std::string lumora_ = orbtest::BinDir() + "/Lumora.orb";
};

TEST_P(ToolsTest, ImportingTwiceChangesNothing) {
    Install();
    EXPECT_EQ(Orbcli({"repo", "list"}).out, "TESTBOX\n");
    const Outcome shown = Orbcli({"class", "show", "LumoraVB"});
    EXPECT_NE(shown.out.find("DomainName"), std::string::npos);
    EXPECT_NE(Orbcli({"object", "list", "ManagedObjectRoot"})
                  .out.find("{7A1D44C2-93E5-11CF-A2B8-0040C91F6E2D}"),
              std::string::npos);
    Add({"LumoraVB", "name=srv1"});
    const std::string before = Snapshot();
    EXPECT_EQ(Quill({"/q", "/g", "/x", lumora_}).exit, 0);
    EXPECT_EQ(Orbcli({"import", lumora_}).exit, 0);
    EXPECT_EQ(Snapshot(), before);
}

TEST_P(ToolsTest, CacheShowsTheConnectionsReadCacheCounters) {
    Install();
    Add({"LumoraVB", "name=srv1"});
    Outcome run = Orbcli({"cache", "LumoraVB", "name=srv1", "--repeat", "3"});
    ASSERT_EQ(run.exit, 0) << run.err;
    json counters = json::parse(run.out);
    EXPECT_EQ(counters["enabled"], 1);
    EXPECT_EQ(counters["misses"], 1);
    EXPECT_EQ(counters["hits"], 2);
    EXPECT_GT(counters["bytes"].get<uint64_t>(), 0u);
    EXPECT_LE(counters["bytes"].get<uint64_t>(), counters["capBytes"].get<uint64_t>());

    ASSERT_EQ(orb::RegSetDword("SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Repositories"
                               "\\TESTBOX",
                               "ReadCache", 0),
              0);
    run = Orbcli({"cache", "LumoraVB", "name=srv1"});
    ASSERT_EQ(run.exit, 0) << run.err;
    counters = json::parse(run.out);
    EXPECT_EQ(counters["enabled"], 0);
    EXPECT_EQ(counters["hits"], 0);
}

TEST_P(ToolsTest, MalformedOrConflictingFileIsRefusedAndChangesNothing) {
    Install();
    const std::string before = Snapshot();
    const std::string broken = Write("broken.orb",
                                     "# fine so far\n"
                                     "class NewOne\n    uuid uuid\nend\n"
                                     "class LumoraVB\n    extra string\n"
                                     "    status strng\n"
                                     "end\n");
    for (const Outcome& run : {Orbcli({"import", broken}), Quill({"/q", "/x", broken})}) {
        EXPECT_NE(run.exit, 0);
        EXPECT_NE(run.err.find("line 7"), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("ORBOM_RC_"), std::string::npos) << run.err;
    }
    const std::string retyped = Write("retyped.orb",
                                      "class NewOne\n uuid uuid\nend\n"
                                      "class LumoraVB\n status string\nend\n");
    const Outcome conflict = Orbcli({"import", retyped});
    EXPECT_NE(conflict.exit, 0);
    EXPECT_NE(conflict.err.find("line 5"), std::string::npos) << conflict.err;
    EXPECT_EQ(Snapshot(), before);

    // A new property on an existing class is added; its objects keep theirs.
    Add({"LumoraVB", "name=srv1", "status=3"});
    ASSERT_EQ(Orbcli({"import", Write("grow.orb", "class LumoraVB\n  build integer\nend\n")}).exit,
              0);
    const json objects = json::parse(Orbcli({"object", "list", "LumoraVB", "--json"}).out);
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]["status"], 3);
    EXPECT_TRUE(objects[0].contains("build") && objects[0]["build"].is_null());
}

TEST_P(ToolsTest, ObjectsRoundTripWithTypedJson) {
    Install();
    ASSERT_EQ(Orbcli({"import", Write("gadget.orb",
                                      "class Gadget\n uuid uuid\n name string\n"
                                      " weight double\n on boolean\n"
                                      " seen datetime\n grade char\n"
                                      " blob binary\n count integer\nend\n")})
                  .exit,
              0);
    const std::string id = Add({"Gadget", "name=a \"b\"", "weight=1.5", "on=true", "grade=A",
                                "blob=00ff", "count=-4", "seen=2026-12-08 02:00:00"});
    EXPECT_EQ(id.size(), 38u);
    Add({"Gadget", "name=other", "count=9"});

    const Outcome listed = Orbcli({"object", "list", "Gadget", "count=-4", "--json"});
    ASSERT_EQ(listed.exit, 0) << listed.err;
    const json objects = json::parse(listed.out);
    ASSERT_EQ(objects.size(), 1u);
    const json& g = objects[0];
    EXPECT_EQ(g["uuid"], id);
    EXPECT_EQ(g["name"], "a \"b\"");
    EXPECT_EQ(g["weight"], 1.5);
    EXPECT_EQ(g["on"], true);
    EXPECT_EQ(g["grade"], "A");
    EXPECT_EQ(g["blob"], "00FF");
    EXPECT_TRUE(g["count"].is_number_integer());
    EXPECT_EQ(g["seen"], "2026-12-08 02:00:00");

    // A listing is a definition file: importing it adds nothing new.
    const std::string listing = Orbcli({"object", "list", "Gadget"}).out;
    EXPECT_EQ(Orbcli({"import", Write("again.orb", listing)}).exit, 0);
    EXPECT_EQ(json::parse(Orbcli({"object", "list", "Gadget", "--json"}).out).size(), 2u);

    const Outcome bad = Orbcli({"object", "add", "Gadget", "count=many"});
    EXPECT_NE(bad.exit, 0);
    EXPECT_NE(bad.err.find("ORBOM_RC_DATATYPE_MISMATCH"), std::string::npos);
    const Outcome reused = Orbcli({"object", "add", "Gadget", "uuid=" + id});
    EXPECT_NE(reused.err.find("ORBOM_RC_NAME_IS_NOT_UNIQUE"), std::string::npos);

    EXPECT_EQ(Orbcli({"object", "delete", "Gadget", "uuid=" + id}).out, "1\n");
    EXPECT_EQ(Orbcli({"object", "delete", "Gadget", "uuid=" + id}).out, "0\n");
    EXPECT_EQ(json::parse(Orbcli({"object", "list", "Gadget", "--json"}).out).size(), 1u);
}

TEST_P(ToolsTest, TreeFollowsLinksFromMachinesAndViews) {
    Install();
    const std::string host = Add({"WindowsNT_Server", "name=HOST1", "label=HOST1"});
    const std::string space = Add({"Sentispace", "name=HOST1-Sentispace"});
    const std::string server = Add({"LumoraVB", "name=HOST1"});
    const std::string view = Add({"BusinessView", "name=Lumora Vaultline Backup"});
    Link("WindowsNT_Server", host, "Sentispace", space);
    Link("Sentispace", space, "LumoraVB", server);
    Link("BusinessView", view, "LumoraVB", server);
    Link("LumoraVB", server, "WindowsNT_Server", host);  // a loop made by hand
    Link("BusinessView", view, "VLO", "{00000000-0000-0000-0000-000000000001}");

    const Outcome run = Orbcli({"tree", "--json"});
    ASSERT_EQ(run.exit, 0) << run.err;
    const json tree = json::parse(run.out);
    ASSERT_EQ(tree["machines"].size(), 1u);
    const json& machine = tree["machines"][0];
    EXPECT_EQ(machine["name"], "HOST1");
    ASSERT_EQ(machine["children"].size(), 1u);
    const json& container = machine["children"][0];
    EXPECT_EQ(container["class"], "Sentispace");
    ASSERT_EQ(container["children"].size(), 1u);
    EXPECT_EQ(container["children"][0]["uuid"], server);
    EXPECT_EQ(container["children"][0]["children"][0]["cycle"], true);

    ASSERT_EQ(tree["views"].size(), 1u);
    const json& members = tree["views"][0]["children"];
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0]["uuid"], server);
    EXPECT_EQ(members[1]["missing"], true);

    const std::string text = Orbcli({"tree"}).out;
    EXPECT_NE(text.find("        LumoraVB \"HOST1\" " + server), std::string::npos) << text;
}

// The integrity check finds each kind of damage a killed or doubled
// publisher can leave, and is quiet (exit 0) on a sound repository.
TEST_P(ToolsTest, CheckReportsEveryKindOfDamage) {
    Install();
    const std::string host = Add({"WindowsNT_Server", "name=HOST1"});
    const std::string space = Add({"Sentispace", "name=HOST1-Sentispace"});
    const std::string server = Add({"LumoraVB", "name=HOST1", "address=10.0.0.1",
                                    "DomainName=DOM", "ServerName=HOST1"});
    Link("WindowsNT_Server", host, "Sentispace", space);
    Link("Sentispace", space, "LumoraVB", server);
    // What a deletion leaves: a machine's container with nothing in it.
    const std::string host2 = Add({"WindowsNT_Server", "name=HOST2"});
    const std::string emptied = Add({"Sentispace", "name=HOST2-Sentispace"});
    Link("WindowsNT_Server", host2, "Sentispace", emptied);
    Outcome run = Orbcli({"check"});
    EXPECT_EQ(run.exit, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("note: Sentispace " + emptied + " \"HOST2-Sentispace\": empty\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("no damage found"), std::string::npos) << run.out;

    // A second container with a half-written object, the same link twice, a
    // link to nothing, an empty container and an object under no container.
    const std::string twin = Add({"Sentispace", "name=HOST1-Sentispace"});
    const std::string half = Add({"LumoraVB", "name=HOST1", "ServerName=HOST1"});
    Link("WindowsNT_Server", host, "Sentispace", twin);
    Link("Sentispace", twin, "LumoraVB", half);
    Link("Sentispace", twin, "LumoraVB", half);
    const std::string gone = "{00000000-0000-0000-0000-000000000009}";
    Link("Sentispace", space, "Vaultline", gone);
    const std::string empty = Add({"Sentispace", "name=EMPTY-Sentispace"});
    const std::string loose = Add({"LumoraVB", "name=LOOSE", "address=10.0.0.2",
                                   "DomainName=DOM", "ServerName=LOOSE"});
    const std::string extra = Add({"LumoraVB", "name=EXTRA", "address=10.0.0.3",
                                   "DomainName=DOM", "ServerName=EXTRA"});
    Link("Sentispace", space, "LumoraVB", extra);

    run = Orbcli({"check"});
    EXPECT_EQ(run.exit, 2) << run.out << run.err;
    for (const std::string& piece : std::vector<std::string>{
             "WindowsNT_Server " + host + ": 2 containers",
          "Sentispace " + space + ": 2 objects of class LumoraVB",
          "duplicate link: Sentispace " + twin + " -> LumoraVB " + half,
          "its child Vaultline " + gone + " does not exist",
          "Sentispace " + empty + " \"EMPTY-Sentispace\": under 0 machines, not one",
          "note: Sentispace " + empty + " \"EMPTY-Sentispace\": empty",
          "LumoraVB " + loose + " \"LOOSE\": under 0 containers, not one",
          "LumoraVB " + half + " \"HOST1\": no \"address\", \"DomainName\"",
          "7 problem(s) found"}) {
        EXPECT_NE(run.out.find(piece), std::string::npos) << piece << "\n" << run.out;
    }
}

// What a publishing pass that failed half way leaves in the product's view:
// an object it never linked there, or the view it rebuilt still empty.
TEST_P(ToolsTest, CheckReportsObjectsOutOfTheirViewAndAnEmptyView) {
    Install();
    auto published = [&](const std::string& name) {
        const std::string host = Add({"WindowsNT_Server", "name=" + name});
        const std::string space = Add({"Sentispace", "name=" + name + "-Sentispace"});
        const std::string server = Add({"LumoraVB", "name=" + name, "address=10.0.0.1",
                                        "DomainName=DOM", "ServerName=" + name});
        Link("WindowsNT_Server", host, "Sentispace", space);
        Link("Sentispace", space, "LumoraVB", server);
        return server;
    };
    const std::string in = published("HOST1");
    const std::string out = published("HOST2");
    const std::string view = Add({"BusinessView", "name=Lumora Vaultline Backup"});
    Outcome run = Orbcli({"check"});
    EXPECT_EQ(run.exit, 2) << run.out << run.err;
    EXPECT_NE(run.out.find("view \"Lumora Vaultline Backup\": empty, 2 objects of class "
                           "LumoraVB are not in it"),
              std::string::npos)
        << run.out;

    Link("BusinessView", view, "LumoraVB", in);
    run = Orbcli({"check"});
    EXPECT_EQ(run.exit, 2) << run.out << run.err;
    EXPECT_NE(run.out.find("LumoraVB " + out + " \"HOST2\": not in view \"Lumora Vaultline "
                           "Backup\""),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("1 problem(s) found"), std::string::npos) << run.out;

    Link("BusinessView", view, "LumoraVB", out);
    run = Orbcli({"check"});
    EXPECT_EQ(run.exit, 0) << run.out << run.err;
}

// A repository that cannot be made for want of room leaves nothing the
// machine would list (and could make its default) as a repository.
TEST(OrbcliRepoCreate, OnAFullDiskLeavesNoRepositoryBehind) {
    orbtest::ScratchDir dir;
    orbtest::ScopedEnv root("ORB_MACHINE_ROOT", dir / "machine");
    orbtest::SmallDisk disk(dir / "machine/orbmap", 4u << 20);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    auto orbcli = [&](const std::vector<std::string>& args) {
        return orbtest::RunTool(dir.path(), "orbcli", args);
    };
    ASSERT_EQ(orb::RegSetString(kApiKey, "RepositoryName", "FULLBOX"), ERROR_SUCCESS);
    for (size_t room : {size_t{0}, size_t{64} << 10}) {
        disk.Empty();
        disk.Fill(room);
        Outcome run = orbcli({"repo", "create", "FULLBOX"});
        EXPECT_NE(run.exit, 0) << "room " << room << ": " << run.out;
        run = orbcli({"repo", "list"});
        EXPECT_EQ(run.out.find("FULLBOX"), std::string::npos) << "room " << room << ": " << run.out;
        for (const auto& entry : std::filesystem::directory_iterator(dir / "machine/orbmap")) {
            EXPECT_EQ(entry.path().filename().string().rfind("filler-", 0), 0u) << entry.path();
        }
    }
    disk.Empty();
    Outcome run = orbcli({"repo", "create", "FULLBOX"});
    EXPECT_EQ(run.exit, 0) << run.err;
    run = orbcli({"repo", "list"});
    EXPECT_EQ(run.out.rfind("FULLBOX", 0), 0u) << run.out;
}

TEST_P(ToolsTest, TreeStopsExpandingALongChain) {
    Install();
    // One machine with a chain of 80 objects below it, imported in one go.
    auto id = [](int n) {
        char text[40];
        snprintf(text, sizeof text, "{00000000-0000-0000-0000-%012d}", n);
        return std::string(text);
    };
    std::string file = "object SunOS\n uuid " + id(0) + "\n name \"deep\"\nend\n";
    for (int n = 1; n <= 80; ++n)
        file += "object Inclusion\n uuid " + id(1000 + n) + "\n parent_uuid " + id(n - 1) +
                "\n child_uuid " + id(n) + "\n child_class \"VLO\"\nend\n";
    ASSERT_EQ(Orbcli({"import", Write("chain.orb", file)}).exit, 0);
    const Outcome run = Orbcli({"tree", "--json"});
    ASSERT_EQ(run.exit, 0) << run.err;
    json node = json::parse(run.out)["machines"][0];
    int depth = 0;
    while (!node["children"].empty()) node = node["children"][0], ++depth;
    EXPECT_EQ(depth, 64);
    EXPECT_EQ(node["truncated"], true);
}

TEST_P(ToolsTest, ErrorsNameTheCode) {
    EXPECT_NE(Orbcli({"class", "list"}).err.find("ORBOM_RC_NO_MATCH"), std::string::npos);
    const Outcome noDefault = Quill({"/q", "/x", lumora_});
    EXPECT_NE(noDefault.exit, 0);
    EXPECT_EQ(Orbcli({"repo", "list"}).out, "");
    Install();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"object", "list", "Nothing"}, "ORBOM_RC_INVALID_CLASS"},
        {{"-r", "elsewhere", "class", "list"}, "ORBOM_RC_INVALID_REPOSITORY"},
        {{"object", "list", "LumoraVB", "colour=red"}, "ORBOM_RC_INVALID_PROPERTY"},
        {{"repo", "create", "TESTBOX"}, "ORBOM_RC_NAME_IS_NOT_UNIQUE"},
        {{"import", dir_ / "absent.orb"}, "ORBOM_RC_INVALID_MAP_FILE"},
    };
    for (const auto& [args, name] : cases) {
        const Outcome run = Orbcli(args);
        EXPECT_NE(run.exit, 0) << args[0];
        EXPECT_NE(run.err.find(name), std::string::npos) << run.err;
    }
}

// The repositories' names and placements are in the registry: on a damaged
// hive a site's repository would seem gone and a local one of its name
// would be made and written to. Both tools stop instead.
TEST_P(ToolsTest, ADamagedHiveStopsBothTools) {
    Install();
    ASSERT_EQ(orb::RegSetString(kApiKey, "RepositoryName", "TESTBOX"), ERROR_SUCCESS);
    ASSERT_TRUE(orbtest::DamageHiveHeader(dir_ / "machine"));
    const std::string damaged = "the registry hive is damaged (error 1009)";
    const std::vector<std::vector<std::string>> commands = {
        {"repo", "list"},
        {"object", "add", "LumoraVB", "name=x"},
        {"-r", "SITE", "object", "add", "LumoraVB", "name=x"},
        {"repo", "create", "SITE"},
    };
    for (const auto& args : commands) {
        const Outcome run = Orbcli(args);
        EXPECT_EQ(run.exit, 1) << args[0];
        EXPECT_EQ(run.out, "") << args[0];
        EXPECT_NE(run.err.find("orbcli: cannot read the registry: " + damaged), std::string::npos)
            << run.err;
    }
    const Outcome quill = Quill({"/q", "/g", "/x", "/r:SITE", lumora_});
    EXPECT_EQ(quill.exit, 1);
    EXPECT_NE(quill.err.find("quill: cannot read the registry: " + damaged), std::string::npos)
        << quill.err;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(dir_ / "machine"))
        EXPECT_EQ(entry.path().filename().string().find("SITE"), std::string::npos)
            << entry.path();
}

TEST_P(ToolsTest, QuillAsksUnlessQuietAndNamesANewDefaultFromSettings) {
    ASSERT_EQ(orb::RegSetString(kApiKey, "RepositoryName", "SiteRepo"), ERROR_SUCCESS);
    ASSERT_EQ(Orbcli({"repo", "create", "Other"}).exit, 0);
    ASSERT_EQ(Orbcli({"-r", "Other", "object", "list", "Vaultline"}).exit, 1);

    EXPECT_EQ(Quill({"/g", lumora_}, "n\n").exit, 2);  // declined: nothing imported
    EXPECT_NE(Orbcli({"-r", "Other", "class", "show", "Vaultline"}).exit, 0);
    const Outcome yes = Quill({"/g", lumora_}, "y\n");
    EXPECT_EQ(yes.exit, 0) << yes.err;
    EXPECT_EQ(Orbcli({"-r", "Other", "class", "show", "Vaultline"}).exit, 0);

    // /g makes a repository it is told to use, unless the file cannot be read.
    EXPECT_NE(Quill({"/q", "/g", "/x", "/r:Ghost", dir_ / "absent.orb"}).exit, 0);
    EXPECT_EQ(Quill({"/q", "/g", "/x", "/r:Fresh", lumora_}).exit, 0);
    EXPECT_EQ(Orbcli({"repo", "list"}).out, "Fresh\nOther\n");

    // On a machine without repositories /g creates the one the settings name.
    orbtest::ScratchDir fresh;
    orbtest::ScopedEnv root("ORB_MACHINE_ROOT", fresh / "machine");
    ASSERT_EQ(orb::RegSetString(kApiKey, "RepositoryName", "SiteRepo"), ERROR_SUCCESS);
    ASSERT_EQ(Quill({"/Q", "/G", "/X", lumora_}).exit, 0);
    EXPECT_EQ(Orbcli({"repo", "list"}).out, "SiteRepo\n");
}

// A repository made on the server by orbcli, listed, used by both tools,
// and the settings orbcli refuses to write.
TEST_P(ToolsTest, RepoCreateOnTheServerAndBothToolsUseIt) {
    if (!OnPostgres()) GTEST_SKIP() << "a PostgreSQL case";
    const Outcome made = CreateOnServer("Site");
    ASSERT_EQ(made.exit, 0) << made.err;
    const Outcome again = Orbcli({"repo", "create", "Site"});
    EXPECT_NE(again.err.find("ORBOM_RC_NAME_IS_NOT_UNIQUE"), std::string::npos) << again.err;
    EXPECT_EQ(Orbcli({"repo", "list"}).out, "Site\n");
    const Outcome imported = Quill({"/q", "/x", "/r:Site", lumora_});
    ASSERT_EQ(imported.exit, 0) << imported.err;
    EXPECT_EQ(Orbcli({"-r", "Site", "class", "show", "LumoraVB"}).exit, 0);

    // Registered but not made yet: quill /g makes it, plain quill says why not.
    schemas_.push_back(std::make_unique<orbtest::PgSchema>());
    schemas_.back()->Register("Later");
    const Outcome absent = Quill({"/q", "/x", "/r:Later", lumora_});
    EXPECT_NE(absent.exit, 0);
    EXPECT_NE(absent.err.find("ORBOM_RC_INVALID_REPOSITORY"), std::string::npos) << absent.err;
    const Outcome later = Quill({"/q", "/g", "/x", "/r:Later", lumora_});
    EXPECT_EQ(later.exit, 0) << later.err;
    EXPECT_EQ(Orbcli({"-r", "Later", "object", "list", "ManagedObjectRoot"}).exit, 0);

    const Outcome secret = Orbcli({"repo", "create", "Secret", "--backend", "postgresql",
                                   "--connection", orbtest::PgConnection() + " password=x"});
    EXPECT_EQ(secret.exit, 1);
    EXPECT_NE(secret.err.find("password file"), std::string::npos) << secret.err;
    const Outcome unreachable = Orbcli({"repo", "create", "Away", "--backend", "postgresql",
                                        "--connection", "host=/nonexistent port=1"});
    EXPECT_EQ(unreachable.exit, 1);
    EXPECT_NE(unreachable.err.find("ORBOM_RC_REPOSITORY_CONNECTION_BUSY (62)"), std::string::npos)
        << unreachable.err;
}

INSTANTIATE_TEST_SUITE_P(, ToolsTest, ::testing::Values(Backend::Sqlite, Backend::Postgres),
                         [](const ::testing::TestParamInfo<Backend>& info) {
                             return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
                         });

}  // namespace
