#include "platform/machine.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "tests/platform/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

class MachineTest : public ::testing::Test {
  protected:
    orbtest::ScratchDir dir_;
    std::string root_ = dir_ / "ALPHA";
    orbtest::ScopedEnv rootEnv_{"ORB_MACHINE_ROOT", root_ + "//"};
    orbtest::ScopedEnv nameEnv_{"ORB_COMPUTERNAME", "alpha"};
};

TEST_F(MachineTest, RootNamesAndSiblingRoots) {
    EXPECT_EQ(orb::MachineRoot(), root_);
    EXPECT_EQ(orb::ComputerName(), "ALPHA");
    EXPECT_EQ(orb::MachineRootOf("\\\\Alpha"), root_);
    EXPECT_EQ(orb::MachineRootOf(""), root_);

    // Another machine exists only once its root does; its name's case is free.
    EXPECT_EQ(orb::MachineRootOf("beta"), "");
    fs::create_directories(dir_ / "Beta");
    EXPECT_EQ(orb::MachineRootOf("\\\\BETA"), dir_ / "Beta");
    EXPECT_EQ(orb::MachineRootOf("beta"), dir_ / "Beta");

    // Names that would leave the directory of roots are no computer names.
    fs::create_directories(dir_ / "x");
    EXPECT_EQ(orb::MachineRootOf(".."), "");
    EXPECT_EQ(orb::MachineRootOf("Beta/../x"), "");
}

TEST_F(MachineTest, DefaultsWithoutEnvironment) {
    orbtest::ScopedEnv noRoot("ORB_MACHINE_ROOT", "");
    orbtest::ScopedEnv noName("ORB_COMPUTERNAME", "");
    EXPECT_EQ(orb::MachineRoot(), orb::kDefaultMachineRoot);
    const std::string name = orb::ComputerName();
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(name.find('.'), std::string::npos);
    for (char c : name) EXPECT_FALSE(std::islower(static_cast<unsigned char>(c)));
}

TEST_F(MachineTest, TempDirectoryAndMachinePathLiveInTheRoot) {
    EXPECT_EQ(orb::TempDirectory(), root_ + "/tmp");
    EXPECT_TRUE(fs::is_directory(root_ + "/tmp"));
    EXPECT_EQ(orb::MachinePath("logs/a/b.log"), root_ + "/logs/a/b.log");
    EXPECT_TRUE(fs::is_directory(root_ + "/logs/a"));
}

TEST_F(MachineTest, GetComputerNameFollowsWin32BufferRules) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    DWORD size = 5;  // "ALPHA" needs 6 with its terminator
    EXPECT_FALSE(GetComputerNameA(buffer, &size));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_BUFFER_OVERFLOW});
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(buffer[0], 'x');

    EXPECT_TRUE(GetComputerNameA(buffer, &size));
    EXPECT_EQ(size, 5u);
    EXPECT_STREQ(buffer, "ALPHA");
    EXPECT_FALSE(GetComputerNameA(buffer, nullptr));
}

TEST_F(MachineTest, GetTempPathFollowsWin32BufferRules) {
    const std::string expected = root_ + "/tmp/";
    EXPECT_EQ(GetTempPathA(0, nullptr), expected.size() + 1);
    std::string small(expected.size(), 'x');
    EXPECT_EQ(GetTempPathA(static_cast<DWORD>(small.size()), small.data()), expected.size() + 1);
    EXPECT_EQ(small, std::string(expected.size(), 'x'));

    char buffer[MAX_PATH * 4];
    EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), expected.size());
    EXPECT_EQ(std::string(buffer), expected);
}

}  // namespace
