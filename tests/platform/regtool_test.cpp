// regtool as operators and scripts use it: the real program on a private
// machine root.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

#include "platform/registry.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"
#include "tests/platform/small_disk.h"

extern char** environ;

namespace {

struct Outcome {
    int exit = -1;
    std::string out;
};

class RegtoolTest : public ::testing::Test {
  protected:
    // Starts argv with stdout to a file; the pid, or -1.
    pid_t Start(const std::vector<std::string>& argv, const std::string& outFile) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        std::vector<char*> args;
        for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        pid_t pid = -1;
        if (posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
    static int Wait(pid_t pid) {
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    Outcome Regtool(std::vector<std::string> args) {
        args.insert(args.begin(), regtool_);
        Outcome run;
        run.exit = Wait(Start(args, dir_ / "out.txt"));
        std::stringstream out;
        out << std::ifstream(dir_ / "out.txt").rdbuf();
        run.out = out.str();
        return run;
    }

    const std::string regtool_ = orbtest::BinDir() + "/regtool";
    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_ / "machine"};
};

TEST_F(RegtoolTest, SetQueryDeleteEachType) {
    const std::string key = "HKLM\\SOFTWARE\\Lumora\\OrbIntegration";
    EXPECT_EQ(Regtool({"set", key, "Support", "REG_DWORD", "-1"}).exit, 0);
    EXPECT_EQ(
        Regtool({"set", "software\\lumora\\orbintegration", "Debug", "reg_dword", "0x10"}).exit, 0);
    EXPECT_EQ(Regtool({"set", key, "LOG", "REG_SZ", "C:\\logs"}).exit, 0);
    EXPECT_EQ(Regtool({"set", key, "Watchers", "REG_MULTI_SZ", "\"a\",\"1\"", "b"}).exit, 0);
    EXPECT_EQ(Regtool({"set", key, "Blob", "REG_BINARY", "00ff", "10"}).exit, 0);
    EXPECT_EQ(Regtool({"set", key, "", "REG_EXPAND_SZ", "%TEMP%"}).exit, 0);

    EXPECT_EQ(Regtool({"query", key}).out,
              "Support\tREG_DWORD\t4294967295\n"
              "Debug\tREG_DWORD\t16\n"
              "LOG\tREG_SZ\tC:\\logs\n"
              "Watchers\tREG_MULTI_SZ\t\"a\",\"1\"\\0b\n"
              "Blob\tREG_BINARY\t00ff10\n"
              "(Default)\tREG_EXPAND_SZ\t%TEMP%\n");
    EXPECT_EQ(Regtool({"query", key, "(default)"}).out, "(Default)\tREG_EXPAND_SZ\t%TEMP%\n");

    EXPECT_EQ(Regtool({"delete", key, "Blob"}).exit, 0);
    EXPECT_EQ(Regtool({"query", key, "Blob"}).exit, 1);
    EXPECT_EQ(Regtool({"delete", "SOFTWARE\\Lumora"}).exit, 0);
    EXPECT_EQ(Regtool({"query", key}).exit, 1);
    EXPECT_EQ(Regtool({"delete", "SOFTWARE\\Lumora"}).exit, 1);
    EXPECT_EQ(Regtool({"export"}).out, "[HKLM]\n\n[HKLM\\SOFTWARE]\n\n");
}

TEST_F(RegtoolTest, BadDataIsRefusedAndNothingWritten) {
    for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
             {"set", "K", "v", "REG_DWORD", "4294967296"},
             {"set", "K", "v", "REG_DWORD", "-2147483649"},
             {"set", "K", "v", "REG_DWORD", "12abc"},
             {"set", "K", "v", "REG_DWORD", "1", "2"},
             {"set", "K", "v", "REG_SZ"},
             {"set", "K", "v", "REG_BINARY", "abc"},
             {"set", "K", "v", "REG_WHATEVER", "1"},
             {"frobnicate"},
         }) {
        EXPECT_EQ(Regtool(bad).exit, 2) << bad.back();
    }
    EXPECT_EQ(Regtool({"query", "K"}).exit, 1);
    EXPECT_EQ(Regtool({"set", "K", "v", "REG_DWORD", "-2147483648"}).exit, 0);
    EXPECT_EQ(Regtool({"query", "K", "v"}).out, "v\tREG_DWORD\t2147483648\n");
}

TEST_F(RegtoolTest, TwoWritersAtOnceLoseNothing) {
    constexpr int kEach = 500;
    // Each writer is a shell loop starting regtool once per value.
    std::vector<pid_t> writers;
    for (const char* who : {"a", "b"}) {
        const std::string script = "i=0; while [ $i -lt " + std::to_string(kEach) + " ]; do \"" +
                                   regtool_ + "\" set 'SOFTWARE\\Race' " + who +
                                   "$i REG_DWORD $i || exit 1; i=$((i+1)); done";
        writers.push_back(Start({"/bin/sh", "-c", script}, dir_ / (std::string(who) + ".out")));
    }
    for (pid_t pid : writers) EXPECT_EQ(Wait(pid), 0);

    std::vector<orb::RegValue> values;
    ASSERT_EQ(orb::RegReadValues("SOFTWARE\\Race", &values), ERROR_SUCCESS);
    EXPECT_EQ(values.size(), size_t{2 * kEach});
    DWORD last = 0;
    ASSERT_EQ(orb::RegGetDword("SOFTWARE\\Race", "b499", &last), ERROR_SUCCESS);
    EXPECT_EQ(last, 499u);
}

// A write the disk cannot take fails with the hive's words and an exit code,
// and the hive keeps what it held: neither the write nor a damaged hive.
TEST_F(RegtoolTest, AFullDiskFailsTheWriteAndKeepsTheHive) {
    orbtest::SmallDisk disk(dir_ / "machine", 1 << 20);
    if (!disk.mounted()) GTEST_SKIP() << disk.why();
    const std::string key = "HKLM\\SOFTWARE\\Lumora";
    ASSERT_EQ(Regtool({"set", key, "Kept", "REG_SZ", "before"}).exit, 0);
    disk.Fill();
    const std::string big(64 * 1024, 'b');
    const Outcome full = Regtool({"set", key, "Big", "REG_SZ", big});
    EXPECT_EQ(full.exit, 3);
    EXPECT_NE(Regtool({"set", key + "\\New", "Small", "REG_DWORD", "1"}).exit, 0);

    disk.Empty();
    const Outcome kept = Regtool({"query", key});
    EXPECT_EQ(kept.exit, 0);
    EXPECT_EQ(kept.out, "Kept\tREG_SZ\tbefore\n");
    EXPECT_EQ(Regtool({"set", key, "Big", "REG_SZ", big}).exit, 0);
    EXPECT_EQ(orb::RegCheckHive(), ERROR_SUCCESS);
}

// A test program run by hand (no ctest, no ORB_BIN_DIR) finds the build's
// programs beside itself.
TEST(TestPrograms, RunByHandFindTheProgramsBesideThemselves) {
    orbtest::ScopedEnv unset("ORB_BIN_DIR", "");
    unsetenv("ORB_BIN_DIR");
    EXPECT_TRUE(std::filesystem::exists(orbtest::BinDir() + "/regtool")) << orbtest::BinDir();
}

}  // namespace
