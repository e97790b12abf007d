// ksuxgo end to end, the program as the console starts it, on a private
// machine root: a repository named after the computer holding a "SunOS"
// machine HOSTA with one "Vaultline" object "HOSTA:1", the real KestOrb and
// resource library, and a recording script as the desktop opener.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "backup/kstool/kstool.h"
#include "platform/command.h"
#include "platform/registry.h"
#include "platform/sync.h"
#include "tests/kestorb/repo_fixture.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/damaged_hive.h"
#include "tests/platform/pipe_writer.h"

namespace {

using std::string;

class KsuxgoProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        program_ = orbtest::BinDir() + "/ksuxgo";
        if (!std::filesystem::exists(program_)) GTEST_SKIP() << "ksuxgo is not built";
        repo_.Create("ORBHOST");
        machine_ = repo_.Add("SunOS", {{"name", string("HOSTA")}});
        KestContext* context = nullptr;
        ASSERT_EQ(KestInitEx(&context, "ORBHOST", "", "", 0, 1), 0);
        const KestMachineRecord machine = kesttest::Machine("SunOS", "HOSTA");
        ASSERT_EQ(KestAddObject(context, &machine, "Vaultline", "HOSTA:1", &server_), 0);
        KestDeInit(&context);
    }
    int Run(std::vector<string> args) { return RunProgram(program_, std::move(args)); }
    int RunProgram(const string& program, std::vector<string> args) {
        args.insert(args.begin(), program);
        output_.clear();
        return orb::RunCommand(args, 30000, &output_);
    }
    // A copy of the program in the test's directory, so that the INI file
    // beside it is the test's own.
    string CopyProgram() {
        const string copy = dir_ / "ksuxgo";
        std::filesystem::copy_file(program_, copy);
        return copy;
    }
    static void WriteScript(const string& path, const string& body) {
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        chmod(path.c_str(), 0755);
    }
    static string Slurp(const string& path) {
        std::ifstream in(path);
        return string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    // Bounded wait for what a program started on its own does.
    static bool Eventually(const std::function<bool()>& done) {
        for (int i = 0; i < 100 && !done(); ++i) Sleep(100);
        return done();
    }
    const string kUsage = "usage: ksuxgo -h HOST | -d HOST | /S:SERVER\n";

    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_.path()};
    orbtest::ScopedEnv computer_{"ORB_COMPUTERNAME", "ORBHOST"};
    orbtest::ScopedEnv ui_{"ORB_UI", "batch"};
    kesttest::Repo repo_;
    string program_;
    string output_;
    UUID machine_{};
    UUID server_{};
};

TEST_F(KsuxgoProgramTest, UpdateSetsTheLabelAndFillsTheView) {
    EXPECT_EQ(repo_.Text("Vaultline", server_, "label"), "HOSTA:1");
    EXPECT_EQ(Run({"-d", "HOSTA"}), 0) << output_;
    EXPECT_EQ(repo_.Text("Vaultline", server_, "label"), "HOSTA");
    EXPECT_EQ(repo_.Text("Vaultline", server_, "name"), "HOSTA:1");
    ASSERT_EQ(repo_.Count("BusinessView", {{"name", string("VLO View")}}), 1u);
    const UUID view = repo_.Uuid("BusinessView", {{"name", string("VLO View")}}, "uuid");
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", view},
                                        {"child_class", string("Vaultline")},
                                        {"child_uuid", server_}}),
              1u);

    // A run again changes nothing and adds nothing twice.
    EXPECT_EQ(Run({"-d HOSTA"}), 0) << output_;
    EXPECT_EQ(repo_.Text("Vaultline", server_, "label"), "HOSTA");
    EXPECT_EQ(repo_.Count("Inclusion", {{"parent_uuid", view}}), 1u);
}

TEST_F(KsuxgoProgramTest, UpdateWithoutRepositoryEndsNonZeroInBatch) {
    orbtest::ScopedEnv other("ORB_COMPUTERNAME", "NOREPO");
    EXPECT_EQ(Run({"-d", "HOSTA"}), 1) << output_;
    EXPECT_EQ(repo_.Text("Vaultline", server_, "label"), "HOSTA:1");
}

TEST_F(KsuxgoProgramTest, HostActionOpensTheWebPageThroughTheShell) {
    const string record = dir_ / "opened.txt";
    const string opener = dir_ / "opener.sh";
    std::ofstream(opener) << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << record << "'\n";
    ASSERT_EQ(chmod(opener.c_str(), 0755), 0);
    orbtest::ScopedEnv shell("ORB_SHELL_OPEN", opener);
    EXPECT_EQ(Run({"-h", "HOSTA"}), 0) << output_;
    std::ifstream in(record);
    string line;
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, "http://HOSTA:6060");
    EXPECT_FALSE(std::getline(in, line));
}

TEST_F(KsuxgoProgramTest, BadCommandLinesStartNothing) {
    orbtest::ScopedEnv shell("ORB_SHELL_OPEN", "/bin/false");
    // No box (the console never starts it so), but a script is told.
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(output_, "ksuxgo: no switch given; nothing started\n" + kUsage);
    EXPECT_EQ(Run({"-h"}), 2);
    EXPECT_EQ(output_, "ksuxgo: no switch given; nothing started\n" + kUsage);
    // A switch with an empty name: no page of no host ("http://:6060").
    for (const char* marker : {"-h", "-d", "/S:"}) {
        EXPECT_EQ(Run({marker, ""}), 2) << marker;
        EXPECT_EQ(output_, "ksuxgo: the switch names no host; nothing started\n" + kUsage);
    }
    EXPECT_EQ(Run({"-h", string(256, 'a')}), 2);
    EXPECT_NE(output_.find("longer than 255"), string::npos) << output_;
    EXPECT_EQ(repo_.Text("Vaultline", server_, "label"), "HOSTA:1");
}

TEST_F(KsuxgoProgramTest, TelnetGetsTheHostAsOneArgumentNeverAsOptions) {
    const string program = CopyProgram();
    std::ofstream(dir_ / "ksuxgo.INI") << "[Default]\nType=telnet\n";
    // A telnet that notes its arguments, one line per start.
    const string tools = dir_ / "tools", record = dir_ / "telnet.txt";
    std::filesystem::create_directories(tools);
    WriteScript(tools + "/telnet",
                "printf '%s|' \"$@\" >> '" + record + "'; echo >> '" + record + "'");
    orbtest::ScopedEnv path("PATH", tools + ":" + std::getenv("PATH"));

    const string trace = dir_ / "trace.txt";
    EXPECT_EQ(RunProgram(program, {"-h", "-n " + trace + " HOSTA"}), 1) << output_;
    EXPECT_NE(output_.find("the host name \"-n " + trace +
                           " HOSTA\" starts with '-' or holds blanks; telnet is not started"),
              string::npos)
        << output_;
    EXPECT_EQ(RunProgram(program, {"-h", "two words"}), 1) << output_;
    EXPECT_EQ(RunProgram(program, {"-h", "HOSTA"}), 0) << output_;
    ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(record); }));
    EXPECT_EQ(Slurp(record), "--|HOSTA|\n");
    EXPECT_FALSE(std::filesystem::exists(trace));
}

TEST_F(KsuxgoProgramTest, AnIniFileThatIsAPipeOrADeviceIsReadAsAbsent) {
    const string program = CopyProgram();
    const string opened = dir_ / "opened.txt", ini = dir_ / "ksuxgo.INI";
    WriteScript(dir_ / "opener.sh", "printf '%s\\n' \"$1\" >> '" + opened + "'");
    orbtest::ScopedEnv shell("ORB_SHELL_OPEN", dir_ / "opener.sh");
    const string told = "ksuxgo: the INI file " + ini + " is not a regular file; read as absent\n";
    {
        // Nobody writes to it; should it be opened, a writer comes after 5 s.
        orbtest::PipeWriter pipe(ini, "[Default]\nType=telnet\n");
        ASSERT_TRUE(pipe.Made());
        EXPECT_EQ(RunProgram(program, {"-h", "HOSTA"}), 0) << output_;
        EXPECT_EQ(output_, told);
        EXPECT_FALSE(pipe.ReaderWaited());
    }
    std::filesystem::remove(ini);
    ASSERT_EQ(symlink("/dev/null", ini.c_str()), 0);
    EXPECT_EQ(RunProgram(program, {"-h", "HOSTB"}), 0) << output_;
    EXPECT_EQ(output_, told);
    // Both got the defaults: the web page on port 6060.
    EXPECT_EQ(Slurp(opened), "http://HOSTA:6060\nhttp://HOSTB:6060\n");
}

TEST_F(KsuxgoProgramTest, ADamagedHiveStopsTheServerActionAndTheUpdate) {
    char key[256] = {};
    KsToolGetServerKey(key, sizeof key);
    ASSERT_EQ(orb::RegSetString(string(key) + "\\HOSTA", "ServerInfo", "UNIX"), ERROR_SUCCESS);
    ASSERT_TRUE(orbtest::DamageHiveHeader(dir_.path()));

    const string damaged =
        "ksuxgo: cannot read the registry: the registry hive is damaged (error 1009)\n";
    EXPECT_EQ(Run({"/S:HOSTA"}), 1);
    EXPECT_EQ(output_, damaged);
    EXPECT_EQ(Run({"-d", "HOSTA"}), 1);
    EXPECT_EQ(output_, damaged);
    EXPECT_EQ(repo_.Text("Vaultline", server_, "label"), "HOSTA:1");
    // The host action reads no registry: it still opens the page.
    orbtest::ScopedEnv shell("ORB_SHELL_OPEN", "/bin/true");
    EXPECT_EQ(Run({"-h", "HOSTA"}), 0) << output_;
}

}  // namespace
