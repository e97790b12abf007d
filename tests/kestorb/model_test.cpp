// The backup object model: containers, links and their sequence numbers,
// uniqueness per machine and class, deletion with the container.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstdlib>

#include "tests/kestorb/repo_fixture.h"
#include "tests/platform/bin_dir.h"

extern char** environ;

namespace {

using kesttest::Machine;
using kesttest::SameUuid;
using std::string;

class ModelTest : public kesttest::RepoTest {
protected:
    void SetUp() override {
        RepoTest::SetUp();
        host_ = repo_.Add("WindowsNT_Server", {{"name", string("HOST1")}});
        Open();
    }
    uint32_t Links(std::initializer_list<kesttest::Prop> criteria) {
        return repo_.Count("Inclusion", criteria);
    }

    KestMachineRecord machine_ = Machine("WindowsNT_Server", "HOST1");
    UUID host_{};
};

TEST_F(ModelTest, FirstObjectGetsOneContainerAndTwoFirstLinks) {
    UUID server{};
    ASSERT_EQ(KestAddObject(ctx_, &machine_, "Vaultline", "HOST1:VL", &server), 0);
    ASSERT_EQ(repo_.Count("Sentispace"), 1u);
    ASSERT_EQ(repo_.Count("Sentispace", {{"name", string("HOST1-Sentispace")},
                                         {"label", string("HOST1-Sentispace")}}),
              1u);
    EXPECT_EQ(repo_.Count("Vaultline", {{"uuid", server}, {"label", string("HOST1:VL")}}), 1u);
    EXPECT_EQ(Links({{"parent_uuid", host_},
                     {"parent_class", string("WindowsNT_Server")},
                     {"child_class", string("Sentispace")},
                     {"child_sequence_no", 0}}),
              1u);
    EXPECT_EQ(Links({{"child_uuid", server},
                     {"parent_class", string("Sentispace")},
                     {"child_class", string("Vaultline")},
                     {"child_sequence_no", 0}}),
              1u);
    EXPECT_EQ(Links({}), 2u);

    // Same machine and class, another name: the existing object answers.
    UUID again{};
    EXPECT_EQ(KestAddObject(ctx_, &machine_, "Vaultline", "other", &again), 4098);
    EXPECT_TRUE(SameUuid(again, server));
    EXPECT_EQ(KestGetLastError(ctx_), 4098);
    // Another class shares the container.
    UUID other{};
    ASSERT_EQ(KestAddObject(ctx_, &machine_, "LumoraVB", "HOST1:VB", &other), 0);
    EXPECT_EQ(repo_.Count("Sentispace"), 1u);

    int32_t count = 0;
    UUID found{};
    ASSERT_EQ(KestGetObjectUUID(ctx_, "Vaultline", &machine_, &count, &found), 0);
    EXPECT_EQ(count, 1);
    EXPECT_TRUE(SameUuid(found, server));
    EXPECT_EQ(KestGetObjectUUID(ctx_, "VLO", &machine_, &count, &found), ORBOM_RC_NO_MATCH);
    EXPECT_EQ(count, 0);
}

TEST_F(ModelTest, MachinesMustBeUniqueAndPresent) {
    repo_.Add("WindowsNT_Server", {{"name", string("HOST1")}});
    UUID server{};
    EXPECT_EQ(KestAddObject(ctx_, &machine_, "Vaultline", "x", &server), 4100);
    EXPECT_EQ(repo_.Count("Sentispace"), 0u);
    EXPECT_EQ(repo_.Count("Vaultline"), 0u);

    KestMachineRecord missing = Machine("WindowsNT_Server", "NOWHERE");
    int32_t count = 0;
    EXPECT_EQ(KestAddObject(ctx_, &missing, "Vaultline", "x", &server), ORBOM_RC_NO_MATCH);
    EXPECT_EQ(KestGetObjectUUID(ctx_, "Vaultline", &missing, &count, &server), ORBOM_RC_NO_MATCH);
    // A machine with a container but no object of the class.
    KestMachineRecord unknownClass = Machine("NoSuchMachineClass", "HOST1");
    EXPECT_EQ(KestAddObject(ctx_, &unknownClass, "Vaultline", "x", &server),
              ORBOM_RC_INVALID_CLASS);
    EXPECT_EQ(KestAddObject(ctx_, nullptr, "Vaultline", "x", &server),
              ORBOM_RC_INVALID_POINTER_PARAMETER);
}

TEST_F(ModelTest, UnterminatedRecordFieldsAndLongNamesStayBounded) {
    KestMachineRecord full{};
    full.size = sizeof full;
    std::memset(full.machineClass, 'C', sizeof full.machineClass);
    std::memset(full.machineName, 'N', sizeof full.machineName);
    UUID server{};
    // The class is cut to its field and is unknown; nothing reads past the record.
    EXPECT_NE(KestAddObject(ctx_, &full, "Vaultline", "x", &server), 0);

    string longName(80, 'n');
    ASSERT_EQ(KestAddObject(ctx_, &machine_, "Vaultline", longName.c_str(), &server), 0);
    EXPECT_EQ(repo_.Text("Vaultline", server, "name"), string(31, 'n'));
}

TEST_F(ModelTest, DeletingTheLastObjectRemovesTheContainer) {
    UUID server{}, other{};
    ASSERT_EQ(KestAddObject(ctx_, &machine_, "Vaultline", "a", &server), 0);
    ASSERT_EQ(KestAddObject(ctx_, &machine_, "LumoraVB", "b", &other), 0);
    ASSERT_EQ(KestDeleteObject_U(ctx_, "Vaultline", &server), 0);
    EXPECT_EQ(repo_.Count("Vaultline"), 0u);
    EXPECT_EQ(repo_.Count("Sentispace"), 1u);
    EXPECT_EQ(Links({{"child_uuid", server}}), 0u);

    ASSERT_EQ(KestDeleteObject_S(ctx_, &machine_, "LumoraVB"), 0);
    EXPECT_EQ(repo_.Count("LumoraVB"), 0u);
    EXPECT_EQ(repo_.Count("Sentispace"), 0u);
    EXPECT_EQ(Links({}), 0u);
    EXPECT_EQ(KestDeleteObject_S(ctx_, &machine_, "LumoraVB"), ORBOM_RC_NO_MATCH);
}

TEST_F(ModelTest, ObjectWithoutContainerIsDeletedAlone) {
    UUID loose = repo_.Add("Vaultline", {{"name", string("loose")}});
    UUID viewLink = repo_.Add("Inclusion", {{"parent_uuid", host_},
                                            {"child_uuid", loose},
                                            {"parent_class", string("BusinessView")},
                                            {"child_class", string("Vaultline")}});
    ASSERT_EQ(KestDeleteObject_U(ctx_, "Vaultline", &loose), 0);
    EXPECT_EQ(repo_.Count("Vaultline"), 0u);
    // The repository takes the object's links with it: none points at nothing.
    EXPECT_EQ(repo_.Count("Inclusion", {{"uuid", viewLink}}), 0u);
}

TEST_F(ModelTest, AFailedAddLeavesNoContainerOrLinkBehind) {
    // The container is made before the object's class turns out unknown.
    UUID out{};
    EXPECT_EQ(KestAddObject(ctx_, &machine_, "NoSuchClass", "x", &out), ORBOM_RC_INVALID_CLASS);
    EXPECT_EQ(repo_.Count("Sentispace"), 0u);
    EXPECT_EQ(Links({}), 0u);
    // The connection is usable afterwards, and the next add builds it all.
    ASSERT_EQ(KestAddObject(ctx_, &machine_, "LumoraVB", "x", &out), 0);
    EXPECT_EQ(repo_.Count("Sentispace"), 1u);
    EXPECT_EQ(Links({}), 2u);
}

pid_t StartAdder(int count) {
    const std::string program = orbtest::BinDir() + "/kestorb_adder";
    const std::string n = std::to_string(count);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(kesttest::kRepository),
                    const_cast<char*>(n.c_str()), nullptr};
    pid_t pid = 0;
    return posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) == 0 ? pid : -1;
}

// Two programs adding the same machines' objects at once: each machine ends
// with one container holding one object, whoever won each race.
TEST_F(ModelTest, TwoProcessesAddingTheSameObjectsMakeEachOnce) {
    constexpr int kMachines = 40;
    for (int i = 0; i < kMachines; ++i) {
        repo_.Add("WindowsNT_Server", {{"name", "host-" + std::to_string(i)}});
    }
    const pid_t a = StartAdder(kMachines);
    const pid_t b = StartAdder(kMachines);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    for (pid_t pid : {a, b}) {
        int status = -1;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    EXPECT_EQ(repo_.Count("Sentispace"), static_cast<uint32_t>(kMachines));
    EXPECT_EQ(repo_.Count("LumoraVB"), static_cast<uint32_t>(kMachines));
    EXPECT_EQ(Links({}), 2u * kMachines);
}

TEST_F(ModelTest, StatusNeedsExactlyOneObject) {
    UUID server{};
    ASSERT_EQ(KestAddObject(ctx_, &machine_, "Vaultline", "a", &server), 0);
    ASSERT_EQ(KestSetStatus_S(ctx_, &machine_, "Vaultline", 5), 0);
    EXPECT_EQ(repo_.Int("Vaultline", server, "status"), 5);
    UUID unrelated = repo_.Add("Vaultline", {{"status", 1}});
    ASSERT_EQ(KestSetStatus_U(ctx_, "Vaultline", &server, 6), 0);
    EXPECT_EQ(repo_.Int("Vaultline", server, "status"), 6);
    EXPECT_EQ(repo_.Int("Vaultline", unrelated, "status"), 1);

    // A second object of the class under the same container.
    UUID container = repo_.Uuid("Inclusion", {{"child_uuid", server}}, "parent_uuid");
    UUID twin = repo_.Add("Vaultline", {{"status", 2}});
    repo_.Add("Inclusion", {{"parent_uuid", container},
                            {"child_uuid", twin},
                            {"parent_class", string("Sentispace")},
                            {"child_class", string("Vaultline")},
                            {"child_sequence_no", 0}});
    EXPECT_EQ(KestSetStatus_S(ctx_, &machine_, "Vaultline", 9), 4100);
    EXPECT_EQ(repo_.Int("Vaultline", server, "status"), 6);
    EXPECT_EQ(repo_.Int("Vaultline", twin, "status"), 2);
}

}  // namespace
