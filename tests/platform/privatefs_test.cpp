// The machine's state is private whatever the umask of the process that
// makes it: directories 0700, the hive with its WAL and shared memory, logs
// and other files 0600.
#include "platform/privatefs.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/daemon.h"
#include "platform/debug.h"
#include "platform/filelock.h"
#include "platform/ini.h"
#include "platform/machine.h"
#include "platform/msi.h"
#include "platform/registry.h"
#include "tests/platform/scratch_dir.h"

namespace {

mode_t ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

class UmaskScope {
  public:
    explicit UmaskScope(mode_t mask) : old_(::umask(mask)) {}
    ~UmaskScope() { ::umask(old_); }

  private:
    mode_t old_;
};

class PrivateState : public ::testing::TestWithParam<mode_t> {
  protected:
    orbtest::ScratchDir scratch_;
    // The root does not exist yet: the system makes it.
    std::string root_ = scratch_ / "MACHINE";
    orbtest::ScopedEnv env_{"ORB_MACHINE_ROOT", root_};
};

TEST_P(PrivateState, EverythingTheSystemCreatesIsTheOwnersAlone) {
    UmaskScope mask(GetParam());
    const std::string log = orb::MachinePath("log/events.log");
    ASSERT_EQ(orb::AppendLocked(log, "line\n", 5), ERROR_SUCCESS);
    const std::string temp = orb::TempDirectory();
    ASSERT_EQ(orb::RegSetString("SOFTWARE\\Private", "community", "secret"), ERROR_SUCCESS);
    const std::string ini = orb::MachinePath("vaultline/settings.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("Section", "Key", "value", ini.c_str()));
    const std::string trace = root_ + "/log/agent.trace";
    {
        orbtest::ScopedEnv sink("ORB_DEBUG_OUTPUT", "file:" + trace);
        OutputDebugStringA("a trace line\n");
    }

    // A service's output log, and the installer's session folder.
    const std::string serviceLog = orb::MachinePath("log/SNMP.log");
    ASSERT_TRUE(orb::StartServiceProcess("true", "", serviceLog, nullptr));
    ASSERT_NE(orb::InstallerSession::Create(""), nullptr);

    for (const std::string& dir :
         {root_, root_ + "/log", temp, temp + "/installer", root_ + "/vaultline"})
        EXPECT_EQ(ModeOf(dir), 0700u) << dir;
    const std::string hive = root_ + "/registry.db";
    for (const std::string& file :
         {log, hive, hive + "-wal", hive + "-shm", ini, trace, serviceLog})
        EXPECT_EQ(ModeOf(file), 0600u) << file;
    // Nothing the hive was built from is left beside it.
    size_t entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(root_)) ++entries;
    EXPECT_EQ(entries, 6u);  // log, tmp, vaultline, the hive, its WAL and shared memory
}

INSTANTIATE_TEST_SUITE_P(Umasks, PrivateState, ::testing::Values(000, 022),
                         [](const ::testing::TestParamInfo<mode_t>& info) {
                             return "Umask0" + std::to_string(info.param >> 3 & 7) +
                                    std::to_string(info.param & 7);
                         });

TEST(PrivateFiles, ExistingFilesAndDirectoriesKeepTheirModes) {
    UmaskScope mask(000);
    orbtest::ScratchDir scratch;
    const std::string shared = scratch / "shared";
    ASSERT_EQ(::mkdir(shared.c_str(), 0755), 0);
    ASSERT_TRUE(orb::MakePrivateDirectories(shared + "/a/b/"));
    EXPECT_EQ(ModeOf(shared), 0755u);
    EXPECT_EQ(ModeOf(shared + "/a"), 0700u);
    EXPECT_EQ(ModeOf(shared + "/a/b"), 0700u);

    const std::string file = shared + "/open.txt";
    int fd = ::open(file.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
    fd = orb::OpenPrivateFile(file, O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ::close(fd);
    EXPECT_EQ(ModeOf(file), 0644u);
    bool created = true;
    EXPECT_TRUE(orb::CreatePrivateFile(file, &created));
    EXPECT_FALSE(created);
    EXPECT_FALSE(orb::MakePrivateDirectories(file + "/below"));
}

}  // namespace
