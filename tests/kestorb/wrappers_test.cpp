// The repository wrapper classes: capacity bounds that keep extra entries
// from the client, selection state, typed reads and their buffer bounds.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "kestorb/OrbKernel.h"
#include "kestorb/OrbObjectCriteria.h"
#include "kestorb/OrbObjectList.h"
#include "kestorb/OrbObjectPropertyList.h"
#include "kestorb/OrbRepository.h"
#include "platform/procid.h"
#include "platform/sync.h"
#include "tests/kestorb/repo_fixture.h"

namespace {

using kesttest::Prop;

class WrapperTest : public kesttest::RepoTest {
protected:
    void SetUp() override {
        RepoTest::SetUp();
        trace_ = dir_ / "wrappers.trc";
        kernel_.SetTracePath(trace_.c_str());
        ASSERT_EQ(kernel_.Start("wrappers"), 0);
        repository_.reset(kernel_.GetRepository());
        ASSERT_NE(repository_, nullptr);
        repository_->SetTracePath(trace_.c_str());
        repository_->SetName(kesttest::kRepository);
        ASSERT_EQ(repository_->Connect(), 0);
    }
    std::unique_ptr<COrbObjectList> List(const char* cls, const char* props = "*") {
        std::unique_ptr<COrbObjectList> list(repository_->NewObjectList());
        list->SetTracePath(trace_.c_str());
        EXPECT_EQ(list->SetSelectionClass(cls, props), 0);
        return list;
    }
    std::string TraceText() const {
        std::ifstream in(trace_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    std::string trace_;
    COrbKernel kernel_;
    std::unique_ptr<COrbRepository> repository_;
};

TEST_F(WrapperTest, CriteriaBeyondCapacityNeverReachTheClient) {
    repo_.Add("Vaultline", {{"name", std::string("alpha")}, {"status", 3}});
    COrbObjectCriteria criteria;
    criteria.SetTracePath(trace_.c_str());
    ASSERT_EQ(criteria.Allocate(2), 0);
    std::string name = "alpha";
    int32_t status = 3, other = 4;
    EXPECT_EQ(criteria.Add("name", ORBOM_TYPE_STRING, 5, name.c_str()), 0);
    EXPECT_EQ(criteria.Add("status", ORBOM_TYPE_INTEGER, 4, &status), 0);
    // A third criterion would exclude the object if the client ever saw it.
    EXPECT_EQ(criteria.Add("status", ORBOM_TYPE_INTEGER, 4, &other), ORBOM_RC_INVALID_OBJECT);
    EXPECT_EQ(criteria.GetLastError(), ORBOM_RC_INVALID_OBJECT);
    EXPECT_EQ(criteria.Count(), 2u);
    auto list = List("Vaultline");
    ASSERT_EQ(list->Select(&criteria), 0);
    EXPECT_EQ(list->Count(), 1u);
    EXPECT_NE(TraceText().find("COrbObjectCriteria::Add(status...) - Failed, more criteria added "
                               "than allocated for"),
              std::string::npos);

    // Cleared, the list refuses every add until it is allocated again.
    ASSERT_EQ(criteria.Clear(), 0);
    EXPECT_EQ(criteria.Add("name", ORBOM_TYPE_STRING, 5, name.c_str()), ORBOM_RC_INVALID_OBJECT);
    ASSERT_EQ(criteria.Allocate(1), 0);
    EXPECT_EQ(criteria.Add("name", ORBOM_TYPE_STRING, 5, name.c_str()), 0);

    COrbObjectPropertyList properties;
    EXPECT_EQ(properties.Add("name", ORBOM_TYPE_STRING, 5, name.c_str()), ORBOM_RC_INVALID_OBJECT);
    ASSERT_EQ(properties.Allocate(1), 0);
    EXPECT_EQ(properties.Add("name", ORBOM_TYPE_STRING, 5, name.c_str()), 0);
    EXPECT_EQ(properties.Add("label", ORBOM_TYPE_STRING, 5, name.c_str()), ORBOM_RC_INVALID_OBJECT);
    EXPECT_EQ(properties.Free(), 0);
    EXPECT_EQ(properties.Free(), 0);
}

TEST_F(WrapperTest, SelectionStateGuardsTheCursor) {
    repo_.Add("Vaultline", {{"name", std::string("one")}});
    repo_.Add("Vaultline", {{"name", std::string("two")}});
    auto list = List("Vaultline");
    EXPECT_EQ(list->GetNext(), ORBOM_RC_NO_SELECT);
    ASSERT_EQ(list->Select(nullptr), 0);
    EXPECT_EQ(list->Count(), 2u);
    // Changing the class mid-selection is refused and the cursor keeps working.
    EXPECT_EQ(list->SetSelectionClass("LumoraVB", "*"), ORBOM_RC_SELECT_IN_PROGRESS);
    EXPECT_EQ(list->GetNext(), ORBOM_RC_MORE_DATA);
    EXPECT_EQ(list->GetNext(), 0);
    EXPECT_EQ(list->GetNext(), ORBOM_RC_END_OF_DATA);
    EXPECT_EQ(list->EndSelect(), 0);
    EXPECT_EQ(list->SetSelectionClass("LumoraVB", "*"), 0);
    ASSERT_EQ(list->Select(nullptr), 0);
    EXPECT_EQ(list->Count(), 0u);
    char text[8];
    int32_t isNull = 0;
    uint32_t size = sizeof text;
    EXPECT_EQ(list->GetString("name", text, &isNull, &size), ORBOM_RC_INVALID_OBJECT);
}

TEST_F(WrapperTest, TypedReadsCheckTheTypeAndStayInsideTheBuffer) {
    repo_.Add("Vaultline", {{"name", std::string("a-rather-long-server-name")}, {"status", 7}});
    auto list = List("Vaultline");
    ASSERT_EQ(list->Select(nullptr), 0);
    ASSERT_EQ(list->GetNext(), 0);

    char text[8] = {};
    int32_t isNull = -1;
    uint32_t size = sizeof text;
    EXPECT_EQ(list->GetString("status", text, &isNull, &size), ORBOM_RC_INVALID_DATATYPE);
    EXPECT_NE(TraceText().find("Datatype does not match requested Type =[1] Requested = [0]"),
              std::string::npos);
    EXPECT_EQ(list->GetString("name", text, &isNull, &size), 0);
    EXPECT_STREQ(text, "a-rathe");
    EXPECT_EQ(size, 25u);
    EXPECT_EQ(isNull, 0);

    int32_t status = 0;
    EXPECT_EQ(list->GetInt("status", &status, &isNull), 0);
    EXPECT_EQ(status, 7);
    // "label" was never set: null, and nothing is copied.
    std::memcpy(text, "keep", 5);
    size = sizeof text;
    EXPECT_EQ(list->GetString("label", text, &isNull, &size), 0);
    EXPECT_EQ(isNull, 1);
    EXPECT_STREQ(text, "keep");
    EXPECT_EQ(list->GetObjectProp(ORBOM_TYPE_STRING, nullptr, nullptr, nullptr, nullptr),
              ORBOM_RC_INVALID_POINTER_PARAMETER);
}

TEST_F(WrapperTest, DateTimeAndBinaryReadsAreBoundedByTheCaller) {
    const char* stamp = "2026-12-08 02:07:21.123456 +0000";
    ORBOM_PROPLIST props = 0;
    // Binary and date-time values live only in classes declared with them;
    // the library reads them through the same cursor, so a machine-free class
    // from the test's own definition is enough.
    const char* defs = "class Probe\n    uuid uuid\n    seen datetime\n    blob binary\nend\n";
    uint32_t line = 0;
    ASSERT_EQ(ORBOM_Class_Import(repo_.connection(), defs, static_cast<uint32_t>(strlen(defs)),
                                 &line, nullptr, 0),
              0);
    unsigned char blob[6] = {1, 2, 3, 4, 5, 6};
    UUID id{};
    UuidCreate(&id);
    ORBOM_PropertyList_Allocate(&props, 3);
    ORBOM_PropertyList_Add(props, "uuid", ORBOM_TYPE_UUID, 16, &id, 0);
    ORBOM_PropertyList_Add(props, "seen", ORBOM_TYPE_DATETIME,
                           static_cast<uint32_t>(strlen(stamp)), stamp, 0);
    ORBOM_PropertyList_Add(props, "blob", ORBOM_TYPE_BINARY, sizeof blob, blob, 0);
    ASSERT_EQ(ORBOM_Object_Create(repo_.connection(), "Probe", props), 0);
    ORBOM_PropertyList_Free(&props);

    auto list = List("Probe");
    ASSERT_EQ(list->Select(nullptr), 0);
    ASSERT_EQ(list->GetNext(), 0);
    char small[12];
    std::memset(small, 'x', sizeof small);
    int32_t isNull = 0;
    uint32_t size = 11;
    EXPECT_EQ(list->GetDateTime("seen", small, &isNull, &size), 0);
    EXPECT_STREQ(small, "2026-12-08");
    EXPECT_EQ(small[11], 'x');
    EXPECT_EQ(size, 0u);
    char whole[64];
    size = sizeof whole;
    EXPECT_EQ(list->GetDateTime("seen", whole, &isNull, &size), 0);
    EXPECT_STREQ(whole, stamp);

    unsigned char out[8] = {};
    size = 4;
    EXPECT_EQ(list->GetBinary("blob", out, &isNull, &size), 0);
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(out[3], 4);
    EXPECT_EQ(out[4], 0);
}

TEST_F(WrapperTest, KernelWithoutNameRunsUnderProcessAndTick) {
    orb::VirtualClock clock;
    orb::SetClock(&clock);
    COrbKernel kernel(true);
    char expected[32];
    std::snprintf(expected, sizeof expected, "PID(%lX)TIME(%lX)",
                  static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long>(GetTickCount()));
    orb::SetClock(nullptr);
    EXPECT_EQ(kernel.GetLastError(), 0);
    EXPECT_NE(kernel.Handle(), 0u);
    EXPECT_STREQ(kernel.ClientName(), expected);

    COrbKernel idle;
    EXPECT_EQ(idle.GetRepository(), nullptr);
    EXPECT_EQ(idle.GetLastError(), ORBOM_RC_INVALID_KERNEL_CONTEXT);
    ORBOM_KERNEL handle = kernel.Handle();
    ORBOM_Kernel_Stop(&handle);
}

TEST_F(WrapperTest, RepositoryNamesAreCutAndFailuresLeaveNoConnection) {
    std::unique_ptr<COrbRepository> repository(kernel_.GetRepository());
    repository->SetName("a-repository-name-much-longer-than-twenty-nine");
    EXPECT_EQ(strlen(repository->GetName()), 29u);
    EXPECT_EQ(repository->Connect(), ORBOM_RC_INVALID_REPOSITORY);
    EXPECT_FALSE(repository->IsConnected());
    EXPECT_EQ(repository->Disonnect(), 0);
    ASSERT_EQ(repository->SelectDefault(), 0);
    EXPECT_STREQ(repository->GetName(), kesttest::kRepository);
    std::unique_ptr<COrbObjectList> unbound(repository->NewObjectList());
    ASSERT_NE(unbound, nullptr);
    EXPECT_EQ(unbound->Select(nullptr), ORBOM_RC_INVALID_REPOSITORY_CONTEXT);
    EXPECT_FALSE(unbound->IsSelected());
}

}  // namespace
