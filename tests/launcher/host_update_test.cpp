// The host update job against a recording "KestOrb.DLL": the six-step
// lookup (with a resolver of the test's own), the label repair, the view
// refresh after every "HostList" entry, and the dialog that runs the job by
// itself once a repository answers.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "launcher/HostUpdate.h"
#include "platform/resolver.h"
#include "platform/resource_media.h"
#include "tests/platform/scratch_dir.h"

namespace {

// Calls the job made, split at "; ".
std::vector<std::string> Split(const std::string& text) {
    std::vector<std::string> parts;
    for (size_t from = 0; from < text.size();) {
        size_t end = text.find("; ", from);
        if (end == std::string::npos) end = text.size();
        parts.push_back(text.substr(from, end - from));
        from = end + 2;
    }
    return parts;
}

size_t CountOf(const std::vector<std::string>& calls, const std::string& call) {
    size_t n = 0;
    for (const std::string& c : calls) n += c == call;
    return n;
}

class FakeResolver : public orb::Resolver {
  public:
    bool HostByName(const std::string& name, orb::HostEntry* out) override {
        asked.push_back(name);
        auto it = addresses.find(name);
        if (it == addresses.end()) return false;
        out->name = name;
        out->addresses = {it->second};
        return true;
    }
    bool HostByAddr(const std::string& address, orb::HostEntry* out) override {
        auto it = names.find(address);
        if (it == names.end()) return false;
        out->name = it->second;
        return true;
    }
    std::map<std::string, std::string> addresses, names;
    std::vector<std::string> asked;
};

// The recording library, held loaded by the test so that its record
// outlives the worker's binding.
class HostUpdateTest : public testing::Test {
  protected:
    void SetUp() override {
        stub_ = LoadLibraryA(RECORDING_KESTORB);
        ASSERT_NE(stub_, nullptr);
        reset_ = reinterpret_cast<void (*)()>(GetProcAddress(stub_, "StubReset"));
        addMachine_ = reinterpret_cast<void (*)(const char*, const char*, int32_t)>(
            GetProcAddress(stub_, "StubAddMachine"));
        setName_ = reinterpret_cast<void (*)(const char*, int32_t, int32_t)>(
            GetProcAddress(stub_, "StubSetName"));
        setInit_ = reinterpret_cast<void (*)(int32_t)>(GetProcAddress(stub_, "StubSetInitResult"));
        calls_ = reinterpret_cast<const char* (*)()>(GetProcAddress(stub_, "StubCalls"));
        ASSERT_TRUE(reset_ && addMachine_ && setName_ && setInit_ && calls_);
        reset_();
        orb::SetResolver(&resolver_);
    }
    void TearDown() override {
        orb::SetResolver(nullptr);
        if (stub_ != nullptr) FreeLibrary(stub_);
    }
    void WriteIni(const std::string& text) { std::ofstream(ini_) << text; }
    // Runs one job for host; the calls it made (the context closed last).
    std::vector<std::string> RunJob(const std::string& host, bool* ran = nullptr) {
        launcher::HostUpdateJob job;
        job.hostName = host;
        job.repository = "REPO";
        {
            launcher::CHostUpdateWorker worker(RECORDING_KESTORB);
            const bool done = worker.Run(job, ini_);
            if (ran != nullptr) *ran = done;
            status_ = worker.Status();
        }
        repository_ = job.repository;
        return Split(calls_());
    }

    orbtest::ScratchDir dir_;
    std::string ini_ = dir_ / "ksuxgo.INI";
    FakeResolver resolver_;
    HMODULE stub_ = nullptr;
    void (*reset_)() = nullptr;
    void (*addMachine_)(const char*, const char*, int32_t) = nullptr;
    void (*setName_)(const char*, int32_t, int32_t) = nullptr;
    void (*setInit_)(int32_t) = nullptr;
    const char* (*calls_)() = nullptr;
    int32_t status_ = -1;
    std::string repository_;
};

TEST_F(HostUpdateTest, DefaultListFindsTheHostAndRepairsItsLabel) {
    addMachine_("SunOS", "HOSTA", 1);
    setName_("HOSTA:1", 0, 0);
    bool ran = false;
    const std::vector<std::string> expected = {
        "init REPO 1",       "find Vaultline SunOS/HOSTA",
        "open Vaultline 1",  "get name 256",
        "set label=HOSTA 0", "close 1",
        "view VLO View",     "populate VLO View Vaultline",
        "deinit"};
    EXPECT_EQ(RunJob("HOSTA", &ran), expected);
    EXPECT_TRUE(ran);
    EXPECT_EQ(status_, 0);
}

TEST_F(HostUpdateTest, UnknownHostTriesEveryNameFormAndStillRefreshes) {
    const std::vector<std::string> expected = {
        "init REPO 1",
        "find Vaultline SunOS/HOSTA",
        "find Vaultline Unclassified_TCP/HOSTA",
        "find Vaultline SunOS/hosta",
        "find Vaultline Unclassified_TCP/hosta",
        "view VLO View",
        "populate VLO View Vaultline",
        "deinit"};
    EXPECT_EQ(RunJob("HOSTA"), expected);
    EXPECT_EQ(resolver_.asked, std::vector<std::string>{"hosta"});
    EXPECT_EQ(status_, 0);  // not found is no failure
}

TEST_F(HostUpdateTest, TrailingBarGivesThreePassesAndThreeRefreshes) {
    WriteIni("[Default]\nHostList=SunOS|Solaris|\n");
    const std::vector<std::string> calls = RunJob("HOSTA");
    EXPECT_EQ(CountOf(calls, "find Vaultline SunOS/HOSTA"), 1u);
    EXPECT_EQ(CountOf(calls, "find Vaultline Solaris/HOSTA"), 1u);
    EXPECT_EQ(CountOf(calls, "find Vaultline /HOSTA"), 1u);  // the empty class
    EXPECT_EQ(CountOf(calls, "view VLO View"), 3u);
    EXPECT_EQ(CountOf(calls, "populate VLO View Vaultline"), 3u);
    EXPECT_EQ(calls.back(), "deinit");
}

TEST_F(HostUpdateTest, LowerCaseNameAtStepThreeDnsNameThroughTheResolver) {
    WriteIni("[Default]\nHostList=Solaris|HPUnix\n");
    addMachine_("Solaris", "hosta", 1);
    resolver_.addresses["hosta"] = "127.0.0.5";
    resolver_.names["127.0.0.5"] = "hosta.lab.example";
    addMachine_("Unclassified_TCP", "hosta.lab.example", 1);
    setName_("hosta.lab.example", 0, 0);
    const std::vector<std::string> calls = RunJob("HOSTA");
    const std::vector<std::string> solaris(calls.begin() + 1, calls.begin() + 5);
    EXPECT_EQ(solaris, (std::vector<std::string>{"find Vaultline Solaris/HOSTA",
                                                 "find Vaultline Unclassified_TCP/HOSTA",
                                                 "find Vaultline Solaris/hosta",
                                                 "open Vaultline 1"}));
    // The second class reaches the resolved name only after the four others.
    const std::vector<std::string> hpunix(calls.begin() + 10, calls.begin() + 17);
    EXPECT_EQ(hpunix, (std::vector<std::string>{
                          "find Vaultline HPUnix/HOSTA",
                          "find Vaultline Unclassified_TCP/HOSTA",
                          "find Vaultline HPUnix/hosta",
                          "find Vaultline Unclassified_TCP/hosta",
                          "find Vaultline HPUnix/hosta.lab.example",
                          "find Vaultline Unclassified_TCP/hosta.lab.example",
                          "open Vaultline 2"}));
    EXPECT_EQ(CountOf(calls, "set label=hosta.lab.example 0"), 2u);
}

TEST_F(HostUpdateTest, OnlyASingleObjectWithAReadNameGetsALabel) {
    WriteIni("[Default]\nHostList=SunOS\n");
    addMachine_("SunOS", "HOSTA", 2);  // two "Vaultline" objects under it
    std::vector<std::string> calls = RunJob("HOSTA");
    EXPECT_EQ(CountOf(calls, "open Vaultline 1"), 0u);
    EXPECT_EQ(CountOf(calls, "view VLO View"), 1u);

    const struct {
        const char* name;
        int32_t isNull;
        int32_t result;
        const char* set;  // the label written, or null
    } cases[] = {{"HOSTA:vl:1", 0, 0, "set label=HOSTA:vl 0"},
                 {"HOSTA", 0, 0, "set label=HOSTA 0"},
                 {":1", 0, 0, "set label= 0"},
                 {"HOSTA:1", 1, 0, nullptr},    // null: the label stays
                 {"HOSTA:1", 0, 9, nullptr}};  // unreadable: the label stays
    for (const auto& c : cases) {
        reset_();
        addMachine_("SunOS", "HOSTA", 1);
        setName_(c.name, c.isNull, c.result);
        calls = RunJob("HOSTA");
        size_t sets = 0;
        for (const std::string& call : calls) sets += call.rfind("set ", 0) == 0;
        EXPECT_EQ(sets, c.set ? 1u : 0u) << c.name;
        if (c.set) {
            EXPECT_EQ(CountOf(calls, c.set), 1u) << c.name;
        }
        EXPECT_EQ(CountOf(calls, c.set ? "close 1" : "close 0"), 1u) << c.name;
    }
}

TEST_F(HostUpdateTest, OverlongNamesAreSkippedNeverCut) {
    const std::string host(44, 'h');
    addMachine_("SunOS", host.substr(0, 43).c_str(), 1);
    addMachine_("SunOS", host.substr(0, 47).c_str(), 1);
    resolver_.addresses[host] = "127.0.0.6";
    resolver_.names["127.0.0.6"] = std::string(48, 'r');
    std::vector<std::string> calls = RunJob(host);
    EXPECT_EQ(calls, (std::vector<std::string>{"init REPO 1", "view VLO View",
                                               "populate VLO View Vaultline", "deinit"}));
    EXPECT_EQ(resolver_.asked, std::vector<std::string>{host});

    // Resolved to a name of 47 characters: that one is tried.
    reset_();
    resolver_.names["127.0.0.6"] = std::string(47, 'r');
    calls = RunJob(host);
    EXPECT_EQ(CountOf(calls, "find Vaultline SunOS/" + std::string(47, 'r')), 1u);
}

TEST_F(HostUpdateTest, MissingLibraryOrFailedContextEndsTheJobAtOnce) {
    launcher::HostUpdateJob job;
    job.hostName = "HOSTA";
    job.repository = "REPO";
    launcher::CHostUpdateWorker missing(dir_ / "KestOrb.DLL");
    EXPECT_FALSE(missing.Run(job, ini_));
    EXPECT_EQ(missing.Status(), KESTORB_ERR_LOAD_LIBRARY);
    EXPECT_EQ(job.repository, "REPO");

    setInit_(9001);
    bool ran = true;
    EXPECT_EQ(RunJob("HOSTA", &ran), std::vector<std::string>{"init REPO 1"});
    EXPECT_FALSE(ran);
    EXPECT_EQ(status_, 9001);
    EXPECT_TRUE(repository_.empty());  // the next OK tests the repository again
}

// ---- The dialog -------------------------------------------------------------

struct FakeClient {
    ORBOM_RC startResult = 0;
    ORBOM_RC connectResult = 0;
    std::string connectedTo;
    int kernelsOpen = 0;
    int connectionsOpen = 0;
};
FakeClient g_client;

RepositoryClient FakeRepositoryClient() {
    RepositoryClient client{};
    client.kernelStart = [](const char* name, ORBOM_KERNEL* kernel, uint32_t) -> ORBOM_RC {
        if (g_client.startResult != 0 || std::string(name) != "VaultlineObjectCreation") {
            return g_client.startResult;
        }
        ++g_client.kernelsOpen;
        *kernel = 1;
        return 0;
    };
    client.kernelStop = [](ORBOM_KERNEL* kernel) -> ORBOM_RC {
        --g_client.kernelsOpen;
        *kernel = 0;
        return 0;
    };
    client.connect = [](ORBOM_KERNEL, const char* name, ORBOM_CONNECTION* connection) {
        g_client.connectedTo = name;
        if (g_client.connectResult == 0) {
            ++g_client.connectionsOpen;
            *connection = 1;
        }
        return g_client.connectResult;
    };
    client.disconnect = [](ORBOM_CONNECTION* connection) -> ORBOM_RC {
        --g_client.connectionsOpen;
        *connection = 0;
        return 0;
    };
    return client;
}

class HostUpdateDlgTest : public HostUpdateTest {
  protected:
    void SetUp() override {
        HostUpdateTest::SetUp();
        g_client = FakeClient();
        resources_ = LoadLibraryA("NWOrbClsRes.dll");
        ASSERT_NE(resources_, nullptr);
        null_ = std::fopen("/dev/null", "w");
    }
    void TearDown() override {
        if (null_ != nullptr) std::fclose(null_);
        if (resources_ != nullptr) FreeLibrary(resources_);
        HostUpdateTest::TearDown();
    }
    launcher::HostUpdateServices Services() {
        launcher::HostUpdateServices services;
        services.probe.client = FakeRepositoryClient();
        services.probe.message = [this](const std::string& m) { messages_.push_back(m); };
        services.probe.text = [](UINT id) { return id == 13 ? "failed %d" : "kernel %d"; };
        services.iniPath = ini_;
        services.library = RECORDING_KESTORB;
        services.repositoryName = [this] { return computer_; };
        services.closeWhenUnreachable = true;
        return services;
    }
    int Run(launcher::CHostUpdateDlg& dialog) {
        std::unique_ptr<orb::FrontEnd> batch = orb::MakeBatchFrontEnd({}, false, null_);
        return dialog.RunModal(*batch);
    }

    HMODULE resources_ = nullptr;
    FILE* null_ = nullptr;
    std::string computer_ = "ORBHOST";
    std::vector<std::string> messages_;
};

TEST_F(HostUpdateDlgTest, ReachableRepositoryRunsTheJobAndEnds) {
    addMachine_("SunOS", "HOSTA", 1);
    launcher::CHostUpdateDlg dialog(resources_, "HOSTA", Services());
    EXPECT_EQ(Run(dialog), IDCANCEL);
    EXPECT_TRUE(dialog.JobDone());
    EXPECT_EQ(g_client.connectedTo, "ORBHOST");
    EXPECT_EQ(g_client.kernelsOpen, 0);
    EXPECT_EQ(g_client.connectionsOpen, 0);
    EXPECT_EQ(dialog.Job().repository, "ORBHOST");
    EXPECT_EQ(Split(calls_()).front(), "init ORBHOST 1");
    EXPECT_TRUE(messages_.empty());
    // As the dialog was set up before its first showing.
    std::string start;
    ASSERT_TRUE(orb::LoadResourceText(resources_, 1, &start));
    EXPECT_EQ(dialog.ItemText(IDOK), start);
    EXPECT_FALSE(dialog.IsItemChecked(launcher::CHostUpdateDlg::kCheck));
    EXPECT_TRUE(dialog.IsItemEnabled(IDCANCEL));
    for (int id : launcher::CHostUpdateDlg::kCounters) {
        ASSERT_NE(dialog.Item(id), nullptr);
        EXPECT_EQ(dialog.Item(id)->value, 0);
        EXPECT_FALSE(dialog.Item(id)->image.empty());
    }
    EXPECT_FALSE(dialog.Icon().empty());
}

TEST_F(HostUpdateDlgTest, UnreachableRepositoryRunsNoJob) {
    const struct {
        ORBOM_RC start;
        ORBOM_RC connect;
        const char* computer;
        const char* message;  // null: none
    } cases[] = {{0, 9005, "ORBHOST", "failed 9005"},
                 {0, ORBOM_RC_CANCEL, "ORBHOST", nullptr},
                 {7, 0, "ORBHOST", "kernel 7"},
                 {0, 0, "", nullptr}};  // no computer name
    for (const auto& c : cases) {
        g_client = FakeClient();
        g_client.startResult = c.start;
        g_client.connectResult = c.connect;
        computer_ = c.computer;
        messages_.clear();
        launcher::CHostUpdateDlg dialog(resources_, "HOSTA", Services());
        EXPECT_EQ(Run(dialog), IDCANCEL);
        EXPECT_FALSE(dialog.JobDone());
        EXPECT_EQ(dialog.Job().worker, nullptr);
        EXPECT_TRUE(dialog.Job().repository.empty());
        EXPECT_EQ(messages_, c.message ? std::vector<std::string>{c.message}
                                       : std::vector<std::string>{});
        EXPECT_EQ(g_client.kernelsOpen, 0);
        EXPECT_EQ(g_client.connectionsOpen, 0);
    }
    EXPECT_STREQ(calls_(), "");
}

}  // namespace
