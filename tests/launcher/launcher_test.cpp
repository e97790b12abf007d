// ksuxgo's start-up: which switch decides, where the INI file lies, the
// placeholder's bounds, and what the shell is asked to start for a host or
// a server.
#include "launcher/Launcher.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "backup/kstool/kstool.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "tests/platform/pipe_writer.h"
#include "tests/platform/scratch_dir.h"

namespace {

using launcher::LaunchMode;
using launcher::ParseLaunchCommandLine;

TEST(LaunchCommandLine, FirstMarkerInSearchOrderDecides) {
    const struct {
        const char* line;
        LaunchMode mode;
        const char* host;
    } cases[] = {
        {"-h HOSTA", LaunchMode::Host, "HOSTA"},
        {"-h two words", LaunchMode::Host, "two words"},
        {"-h  HOSTA", LaunchMode::Host, " HOSTA"},  // a second blank belongs to the name
        {"-d HOSTA", LaunchMode::Update, "HOSTA"},
        {"-d HOSTA -h HOSTB", LaunchMode::Host, "HOSTB"},  // "-h " wins wherever it is
        {"/S:   vault01", LaunchMode::Server, "vault01"},
        {"junk /S:vault01", LaunchMode::Server, "vault01"},
        {"", LaunchMode::None, ""},
        {"-h", LaunchMode::None, ""},
        {"-H HOSTA", LaunchMode::None, ""},  // markers are case-sensitive
        {"/s:vault01", LaunchMode::None, ""},
        // A switch with nothing after it names no host ("-h \"\"").
        {"-h ", LaunchMode::NoHost, ""},
        {"-h   ", LaunchMode::NoHost, "  "},
        {"-d ", LaunchMode::NoHost, ""},
        {"/S:   ", LaunchMode::NoHost, ""},
    };
    for (const auto& c : cases) {
        const launcher::LaunchRequest request = ParseLaunchCommandLine(c.line);
        EXPECT_EQ(request.mode, c.mode) << c.line;
        EXPECT_EQ(request.host, c.host) << c.line;
    }
}

TEST(LaunchCommandLine, ArgumentTheHostBufferCannotHoldIsRefusedNotCut) {
    const std::string fits(255, 'a');
    EXPECT_EQ(ParseLaunchCommandLine("-h " + fits).host, fits);
    for (const char* marker : {"-h ", "-d ", "/S:"}) {
        const launcher::LaunchRequest request = ParseLaunchCommandLine(marker + fits + "b");
        EXPECT_EQ(request.mode, LaunchMode::TooLong) << marker;
        EXPECT_TRUE(request.host.empty()) << marker;
    }
}

TEST(LaunchIniPath, ExtensionReplacedOrAppendedNeverCutAtAFolder) {
    EXPECT_EQ(launcher::IniPathFor("/opt/orb/bin/ksuxgo"), "/opt/orb/bin/ksuxgo.INI");
    EXPECT_EQ(launcher::IniPathFor("/opt/orb.d/bin/ksuxgo"), "/opt/orb.d/bin/ksuxgo.INI");
    EXPECT_EQ(launcher::IniPathFor("/opt/orb/bin/ksuxgo.exe"), "/opt/orb/bin/ksuxgo.INI");
    EXPECT_EQ(launcher::IniPathFor("ksuxgo.v2.exe"), "ksuxgo.v2.INI");
}

TEST(LaunchPlaceholder, EveryOccurrenceReplacedWhileTheBufferHoldsIt) {
    std::string twice = "http://$hostName:6060/q?h=$hostName";
    EXPECT_EQ(launcher::SubstitutePlaceholder(&twice, "$hostName", "vault01"), 2);
    EXPECT_EQ(twice, "http://vault01:6060/q?h=vault01");

    // A value holding the placeholder is not replaced again.
    std::string self = "$hostName";
    EXPECT_EQ(launcher::SubstitutePlaceholder(&self, "$hostName", "$hostName"), 1);
    EXPECT_EQ(self, "$hostName");

    // With an 11-character value: an occurrence at 239 ends its value at
    // byte 258 and is replaced; one at 240 would reach byte 259 and stays,
    // and so does every later one.
    const std::string value(11, 'v');
    std::string near = std::string(239, 'x') + "$hostName";
    EXPECT_EQ(launcher::SubstitutePlaceholder(&near, "$hostName", value), 1);
    EXPECT_EQ(near, std::string(239, 'x') + value);
    std::string edge = std::string(240, 'x') + "$hostName" + "-$hostName";
    EXPECT_EQ(launcher::SubstitutePlaceholder(&edge, "$hostName", value), 0);
    EXPECT_EQ(edge, std::string(240, 'x') + "$hostName-$hostName");
    std::string later = "$hostName" + std::string(230, 'x') + "$hostName" + "$hostName";
    EXPECT_EQ(launcher::SubstitutePlaceholder(&later, "$hostName", value), 1);
    EXPECT_EQ(later, value + std::string(230, 'x') + "$hostName$hostName");

    // Early occurrences that grow the text past 259 characters end the run.
    std::string grows = "$hostName$hostName" + std::string(200, 'x');
    EXPECT_EQ(launcher::SubstitutePlaceholder(&grows, "$hostName", std::string(40, 'v')), 1);
    EXPECT_LE(grows.size(), 259u);
}

// The shell the actions ask, recorded; answers from a list (default: fails).
class LaunchActionTest : public testing::Test {
  protected:
    launcher::LauncherContext Context() {
        launcher::LauncherContext context;
        context.iniPath = dir_ / "ksuxgo.INI";
        context.shell = [this](const char* file, const char* parameters, int show) {
            calls_.push_back(std::string(file) + "|" + (parameters ? parameters : "<none>") +
                             "|" + std::to_string(show));
            const intptr_t answer = answers_.empty() ? 2 : answers_.front();
            if (!answers_.empty()) answers_.erase(answers_.begin());
            return answer;
        };
        context.warn = [this](UINT id) { warnings_.push_back(id); };
        return context;
    }
    void WriteIni(const std::string& text) { std::ofstream(dir_ / "ksuxgo.INI") << text; }

    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_.path()};
    std::vector<intptr_t> answers_;
    std::vector<std::string> calls_;
    std::vector<UINT> warnings_;
};

TEST_F(LaunchActionTest, WithoutIniTheWebPageThenTelnetThenText23) {
    answers_ = {42};
    EXPECT_TRUE(launcher::RunHostAction(Context(), "HOSTA"));
    EXPECT_EQ(calls_, std::vector<std::string>{"http://HOSTA:6060|<none>|0"});

    calls_.clear();
    answers_ = {31, 42};
    EXPECT_TRUE(launcher::RunHostAction(Context(), "HOSTB"));
    EXPECT_EQ(calls_,
              (std::vector<std::string>{"http://HOSTB:6060|<none>|0", "telnet|-- HOSTB|1"}));
    EXPECT_TRUE(warnings_.empty());

    calls_.clear();
    answers_ = {31, 32};  // 32 is a failure too
    EXPECT_FALSE(launcher::RunHostAction(Context(), "HOSTA"));
    EXPECT_EQ(calls_.size(), 2u);
    EXPECT_EQ(warnings_, std::vector<UINT>{23});
}

TEST_F(LaunchActionTest, TypeAndCommandByHostThenDefaultWithDotsAsAbsent) {
    WriteIni(
        "[Default]\nType=...\nCmdLine=https://$hostName/console\n"
        "[TELNETHOST]\nType=telnet\nCmdLine=http://never\n"
        "[UPPERHOST]\nType=HTTP\n"
        "[DOTSHOST]\nType=http\nCmdLine=...\n"
        "[OWNHOST]\nCmdLine=http://$hostName:8080/$hostName\n");
    const struct {
        const char* host;
        const char* call;
    } cases[] = {
        {"TELNETHOST", "telnet|-- TELNETHOST|1"},
        {"UPPERHOST", "telnet|-- UPPERHOST|1"},  // the type compares with its case
        {"DOTSHOST", "https://DOTSHOST/console|<none>|0"},
        {"OWNHOST", "http://OWNHOST:8080/OWNHOST|<none>|0"},
        {"unlisted", "https://unlisted/console|<none>|0"},  // "..." type gives "http"
    };
    for (const auto& c : cases) {
        calls_.clear();
        answers_ = {42};
        EXPECT_TRUE(launcher::RunHostAction(Context(), c.host)) << c.host;
        EXPECT_EQ(calls_, std::vector<std::string>{c.call}) << c.host;
    }

    WriteIni("[Default]\nType=telnet\n[WEBHOST]\nCmdLine=http://x\n");
    calls_.clear();
    answers_ = {42};
    EXPECT_TRUE(launcher::RunHostAction(Context(), "WEBHOST"));
    EXPECT_EQ(calls_, std::vector<std::string>{"telnet|-- WEBHOST|1"});
}

TEST_F(LaunchActionTest, TelnetGetsTheHostAsOneArgumentAfterDashesOrNothing) {
    std::vector<std::string> told;
    launcher::LauncherContext context = Context();
    context.tell = [&told](const std::string& line) { told.push_back(line); };

    // A name telnet would read as options, or as several words, is refused
    // with a reason and text 23: straight away, and as the web page's
    // fall-back (the page itself is still tried).
    WriteIni("[Default]\nType=telnet\n[two words]\nType=http\n");
    for (const char* host : {"-n FILE HOSTA", "-lroot", "two words", "tab\there", "-", "HOSTA\n"}) {
        calls_.clear();
        warnings_.clear();
        told.clear();
        answers_ = {31};
        EXPECT_FALSE(launcher::RunHostAction(context, host)) << host;
        for (const std::string& call : calls_)
            EXPECT_EQ(call.rfind("telnet", 0), std::string::npos) << call;
        EXPECT_EQ(warnings_, std::vector<UINT>{23}) << host;
        ASSERT_EQ(told.size(), 1u) << host;
        EXPECT_NE(told[0].find("starts with '-' or holds blanks"), std::string::npos) << told[0];
    }
    EXPECT_EQ(calls_, std::vector<std::string>{});

    // Any other name reaches telnet as the one word after "--", quotes and all.
    for (const std::string host : {"HOSTA", "vault-01.example", "a\"b", "back\\slash\""}) {
        calls_.clear();
        answers_ = {42};
        EXPECT_TRUE(launcher::RunHostAction(context, host)) << host;
        ASSERT_EQ(calls_.size(), 1u);
        const std::string parameters = launcher::TelnetParameters(host);
        EXPECT_EQ(calls_[0], "telnet|" + parameters + "|1");
        EXPECT_EQ(orb::SplitCommandLine("telnet " + parameters),
                  (std::vector<std::string>{"telnet", "--", host}));
    }
}

TEST_F(LaunchActionTest, AnIniFileThatIsAPipeIsReadAsAbsent) {
    // Nobody writes to it: opening it would wait for ever.
    const std::string ini = dir_ / "ksuxgo.INI";
    orbtest::PipeWriter pipe(ini, "[Default]\nType=telnet\n");
    ASSERT_TRUE(pipe.Made());
    testing::internal::CaptureStderr();
    answers_ = {42};
    EXPECT_TRUE(launcher::RunHostAction(Context(), "HOSTA"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(pipe.ReaderWaited());
    EXPECT_EQ(calls_, std::vector<std::string>{"http://HOSTA:6060|<none>|0"});
    EXPECT_NE(err.find(ini + " is not a regular file; read as absent"), std::string::npos) << err;
}

TEST_F(LaunchActionTest, ServerMustBeKnownWithInfoStartingWithU) {
    char key[256] = {};
    KsToolGetServerKey(key, sizeof key);
    ASSERT_EQ(orb::RegSetString(std::string(key) + "\\vault01", "ServerInfo", "UNIX 5.1"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(std::string(key) + "\\vault02", "ServerInfo", "W2K"),
              ERROR_SUCCESS);
    ASSERT_EQ(orb::RegSetString(std::string(key) + "\\vault03", "Other", "U"), ERROR_SUCCESS);

    answers_ = {42};
    EXPECT_TRUE(launcher::RunServerAction(Context(), "vault01"));
    EXPECT_EQ(calls_, std::vector<std::string>{"http://vault01:6060|<none>|0"});
    EXPECT_TRUE(warnings_.empty());

    calls_.clear();
    for (const char* server : {"vault02", "vault03", "vault04", ""}) {
        EXPECT_FALSE(launcher::RunServerAction(Context(), server)) << server;
    }
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(warnings_, (std::vector<UINT>{22, 22, 22, 22}));
}

}  // namespace
