// Several writers on one repository lose nothing: two processes, each with
// its own connection, and several threads of one process.
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>
#include <thread>

#include "tests/nwomapi/repository_fixture.h"
#include "tests/platform/bin_dir.h"

extern char** environ;

namespace nwomapitest {
namespace {

using ConcurrencyTest = RepositoryTest;

pid_t StartWriter(const std::string& repository, int count, const std::string& tag) {
    const std::string program = orbtest::BinDir() + "/nwomapi_writer";
    const std::string n = std::to_string(count);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(repository.c_str()),
                    const_cast<char*>(n.c_str()), const_cast<char*>(tag.c_str()), nullptr};
    pid_t pid = 0;
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

TEST_P(ConcurrencyTest, TwoProcessesCreatingFiveHundredEachLeaveAThousand) {
    const pid_t a = StartWriter("Test", 500, "a");
    const pid_t b = StartWriter("Test", 500, "b");
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    for (pid_t pid : {a, b}) {
        int status = -1;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    const std::vector<std::string> names = Names("Unix", {});
    EXPECT_EQ(names.size(), 1000u);
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 1000u);
}

TEST_P(ConcurrencyTest, ThreadsSharingAndNotSharingAConnectionLoseNothing) {
    ORBOM_CONNECTION own = 0;
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Test", &own), 0);
    auto writer = [&](ORBOM_CONNECTION c, const std::string& tag) {
        for (int i = 0; i < 100; ++i) {
            const std::string name = tag + std::to_string(i);
            ORBOM_PROPLIST l = 0;
            ORBOM_PropertyList_Allocate(&l, 1);
            ORBOM_PropertyList_Add(l, "name", ORBOM_TYPE_STRING, (uint32_t)name.size(), name.data(), 0);
            EXPECT_EQ(ORBOM_Object_Create(c, "Unix", l), 0);
            ORBOM_PropertyList_Free(&l);
        }
    };
    std::thread t1(writer, conn_, "x"), t2(writer, conn_, "y"), t3(writer, own, "z");
    t1.join();
    t2.join();
    t3.join();
    EXPECT_EQ(Names("Unix", {}).size(), 300u);
    ORBOM_Repository_Disconnect(&own);
}

NWOMAPI_ON_BOTH(ConcurrencyTest);

}  // namespace
}  // namespace nwomapitest
