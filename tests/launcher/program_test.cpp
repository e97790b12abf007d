// ksuxgo end to end, the program as the console starts it, on a private
// machine root: a repository named after the computer holding a "SunOS"
// machine HOSTA with one "Vaultline" object "HOSTA:1", the real KestOrb and
// resource library, and a recording script as the desktop opener.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/command.h"
#include "tests/kestorb/repo_fixture.h"

namespace {

using std::string;

class KsuxgoProgramTest : public testing::Test {
  protected:
    void SetUp() override {
        const char* bin = std::getenv("ORB_BIN_DIR");
        program_ = string(bin ? bin : ".") + "/ksuxgo";
        if (!std::filesystem::exists(program_)) GTEST_SKIP() << "ksuxgo is not built";
        repo_.Create("ORBHOST");
        machine_ = repo_.Add("SunOS", {{"name", string("HOSTA")}});
        KestContext* context = nullptr;
        ASSERT_EQ(KestInitEx(&context, "ORBHOST", "", "", 0, 1), 0);
        const KestMachineRecord machine = kesttest::Machine("SunOS", "HOSTA");
        ASSERT_EQ(KestAddObject(context, &machine, "Vaultline", "HOSTA:1", &server_), 0);
        KestDeInit(&context);
    }
    int Run(std::vector<string> args) {
        args.insert(args.begin(), program_);
        output_.clear();
        return orb::RunCommand(args, 60000, &output_);
    }

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
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(output_, "");
    EXPECT_EQ(Run({"-h"}), 2);
    EXPECT_EQ(Run({"-h", string(256, 'a')}), 2);
    EXPECT_NE(output_.find("longer than 255"), string::npos) << output_;
    EXPECT_EQ(repo_.Text("Vaultline", server_, "label"), "HOSTA:1");
}

}  // namespace
