// What the tests of whole publishers share: a repository prepared with the
// product's classes and the servers' machines, the discovery table that
// announces them, and ksorbx started in batch mode on a machine root.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "framework/nwomapi/nwomapi.h"
#include "platform/uuid.h"

extern char** environ;

namespace publishertest {

// SRV0000, SRV0001, ...
inline std::string ServerName(int i) {
    char name[16];
    std::snprintf(name, sizeof name, "SRV%04d", i);
    return name;
}

// The product's classes from the source tree's class file.
inline void ImportProductClasses(ORBOM_CONNECTION connection) {
    std::ifstream in(std::string(ORB_SOURCE_DIR) + "/tools/Lumora.orb");
    std::stringstream classes;
    classes << in.rdbuf();
    const std::string text = classes.str();
    ASSERT_EQ(ORBOM_Class_Import(connection, text.c_str(), static_cast<uint32_t>(text.size()),
                                 nullptr, nullptr, 0),
              0);
}

// The machine objects of servers 0 to count - 1, as the framework's
// discovery leaves them, in one unit of work.
inline void CreateMachines(ORBOM_CONNECTION connection, int count) {
    ASSERT_EQ(ORBOM_Transaction_Begin(connection), 0);
    for (int i = 0; i < count; ++i) {
        const std::string name = ServerName(i);
        ORBOM_PROPLIST list = 0;
        UUID uuid{};
        UuidCreate(&uuid);
        ORBOM_PropertyList_Allocate(&list, 2);
        ORBOM_PropertyList_Add(list, "uuid", ORBOM_TYPE_UUID, sizeof uuid, &uuid, 0);
        ORBOM_PropertyList_Add(list, "name", ORBOM_TYPE_STRING, static_cast<uint32_t>(name.size()),
                               name.c_str(), 0);
        ASSERT_EQ(ORBOM_Object_Create(connection, "WindowsNT_Server", list), 0);
        ORBOM_PropertyList_Free(&list);
    }
    ASSERT_EQ(ORBOM_Transaction_Commit(connection), 0);
}

// Creates the repository with the product's classes and the machines of
// servers 0 to count - 1, on the current machine root.
inline void PrepareRepository(const char* repository, int count) {
    ORBOM_KERNEL kernel = 0;
    ORBOM_CONNECTION connection = 0;
    ASSERT_EQ(ORBOM_Kernel_Start("publishertest", &kernel, 0), 0);
    ASSERT_EQ(ORBOM_Repository_Create(kernel, repository), 0);
    ASSERT_EQ(ORBOM_Repository_Connect(kernel, repository, &connection), 0);
    ImportProductClasses(connection);
    if (!testing::Test::HasFatalFailure()) CreateMachines(connection, count);
    ORBOM_Repository_Disconnect(&connection);
    ORBOM_Kernel_Stop(&kernel);
}

// Objects of cls in the repository, seen from the current machine root over
// a connection of its own (0 when it cannot be reached).
inline uint32_t CountObjects(const char* repository, const char* cls) {
    ORBOM_KERNEL kernel = 0;
    ORBOM_CONNECTION connection = 0;
    ORBOM_SELECTION selection = 0;
    uint32_t count = 0;
    if (ORBOM_Kernel_Start("publishertest", &kernel, 0) == 0 &&
        ORBOM_Repository_Connect(kernel, repository, &connection) == 0 &&
        ORBOM_ObjectList_Select(connection, cls, 0, "uuid", 0, &selection, &count, nullptr,
                                nullptr) == 0) {
        ORBOM_ObjectList_EndSelect(&selection);
    }
    if (connection) ORBOM_Repository_Disconnect(&connection);
    if (kernel) ORBOM_Kernel_Stop(&kernel);
    return count;
}

// The discovery table of machine root `root` announcing servers 0 to count - 1
// in `domain` (another domain changes every record).
inline void WriteDiscoveryTable(const std::filesystem::path& root, int count,
                                const std::string& domain = "DOM") {
    std::filesystem::create_directories(root / "vaultline");
    std::ofstream table(root / "vaultline/discovery.tbl");
    for (int i = 0; i < count; ++i) {
        table << ServerName(i) << " " << domain << " 24 10.1." << i / 250 << "." << i % 250 + 1
              << " 9 65\n";
    }
}

// ksorbx --batch /r repository from bin, its output appended to log; the
// environment is this process's with the entries of `set` ("NAME=value")
// in place of their names'. -1 when it could not be started.
inline pid_t StartPublisher(const std::string& bin, const std::string& repository,
                            const std::string& log, const std::vector<std::string>& set = {}) {
    const std::string program = bin + "/ksorbx";
    std::vector<std::string> args = {program, "--batch", "/r", repository};
    std::vector<std::string> env = set;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const std::string& s : set) {
            replaced = replaced || entry.compare(0, s.find('=') + 1, s, 0, s.find('=') + 1) == 0;
        }
        if (!replaced) env.push_back(entry);
    }
    std::vector<char*> argv, envp;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_addopen(&files, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&files, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, program.c_str(), &files, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&files);
    return rc == 0 ? pid : -1;
}

// The exit code of pid, 128 + the signal when a signal ended it, -1 when
// it cannot be waited for.
inline int WaitExit(pid_t pid) {
    int status = -1;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace publishertest
