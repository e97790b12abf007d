#include "tests/nwomapi/repository_fixture.h"

#include <cstring>

namespace nwomapitest {

Prop Str(const std::string& name, const std::string& text) {
    return {name, ORBOM_TYPE_STRING, text};
}

Prop Int(const std::string& name, int32_t value) {
    return {name, ORBOM_TYPE_INTEGER, std::string(reinterpret_cast<const char*>(&value), 4)};
}

Prop Uuid(const std::string& name, uint8_t fill) {
    return {name, ORBOM_TYPE_UUID, std::string(16, static_cast<char>(fill))};
}

Prop Null(const std::string& name, uint32_t type) { return {name, type, "", true}; }

std::string BackendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Sqlite ? "Sqlite" : "Postgres";
}

void RepositoryTest::Place(const std::string& repository) {
    if (!OnPostgres()) return;
    schemas_.push_back(std::make_unique<orbtest::PgSchema>());
    schemas_.back()->Register(repository);
}

void RepositoryTest::SetUp() {
    if (OnPostgres() && orbtest::PgConnection().empty()) GTEST_SKIP() << orbtest::kPgSkip;
    root_ = std::make_unique<orbtest::ScratchDir>();
    env_ = std::make_unique<orbtest::ScopedEnv>("ORB_MACHINE_ROOT", root_->path());
    Place("Test");
    ASSERT_EQ(ORBOM_Kernel_Start("tests", &kernel_, 0), ORBOM_RC_SUCCESS);
    ASSERT_EQ(ORBOM_Repository_Create(kernel_, "Test"), ORBOM_RC_SUCCESS);
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Test", &conn_), ORBOM_RC_SUCCESS);
}

void RepositoryTest::TearDown() {
    if (conn_) ORBOM_Repository_Disconnect(&conn_);
    if (kernel_) ORBOM_Kernel_Stop(&kernel_);
    schemas_.clear();
    env_.reset();
    root_.reset();
}

ORBOM_CRITERIA RepositoryTest::Criteria(const std::vector<Prop>& props) {
    ORBOM_CRITERIA c = 0;
    EXPECT_EQ(ORBOM_Criteria_Allocate(&c, static_cast<uint32_t>(props.size())), 0);
    for (const Prop& p : props) {
        EXPECT_EQ(ORBOM_Criteria_Add(c, p.name.c_str(), p.type, static_cast<uint32_t>(p.bytes.size()),
                                     p.null ? nullptr : p.bytes.data(), 0, 1),
                  0);
    }
    return c;
}

ORBOM_PROPLIST RepositoryTest::Properties(const std::vector<Prop>& props) {
    ORBOM_PROPLIST l = 0;
    EXPECT_EQ(ORBOM_PropertyList_Allocate(&l, static_cast<uint32_t>(props.size())), 0);
    for (const Prop& p : props) {
        EXPECT_EQ(ORBOM_PropertyList_Add(l, p.name.c_str(), p.type,
                                         static_cast<uint32_t>(p.bytes.size()), p.bytes.data(),
                                         p.null),
                  0);
    }
    return l;
}

ORBOM_RC RepositoryTest::Create(const std::string& cls, const std::vector<Prop>& props) {
    ORBOM_PROPLIST l = Properties(props);
    const ORBOM_RC rc = ORBOM_Object_Create(conn_, cls.c_str(), l);
    ORBOM_PropertyList_Free(&l);
    return rc;
}

std::vector<std::string> RepositoryTest::Names(const std::string& cls,
                                               const std::vector<Prop>& criteria,
                                               const std::string& property) {
    ORBOM_CRITERIA c = criteria.empty() ? 0 : Criteria(criteria);
    ORBOM_SELECTION s = 0;
    uint32_t count = 0, classes = 0, props = 0;
    std::vector<std::string> out;
    EXPECT_EQ(ORBOM_ObjectList_Select(conn_, cls.c_str(), c, "*", 0, &s, &count, &classes, &props),
              0);
    ORBOM_OBJECT o = 0;
    for (ORBOM_RC rc = ORBOM_RC_MORE_DATA; s && rc == ORBOM_RC_MORE_DATA;) {
        rc = ORBOM_ObjectList_GetNext(s, &o, nullptr);
        if (rc != ORBOM_RC_SUCCESS && rc != ORBOM_RC_MORE_DATA) break;
        const void* v = nullptr;
        uint8_t isNull = 0;
        EXPECT_EQ(ORBOM_Object_GetProperty(o, property.c_str(), nullptr, nullptr, &v, &isNull), 0);
        out.push_back(isNull ? "<null>" : static_cast<const char*>(v));
    }
    EXPECT_EQ(out.size(), count);
    if (s) ORBOM_ObjectList_EndSelect(&s);
    if (c) ORBOM_Criteria_Free(&c);
    return out;
}

ORBOM_RC RepositoryTest::Import(const std::string& text, uint32_t* line, std::string* message) {
    char buffer[256] = "";
    uint32_t l = 0;
    const ORBOM_RC rc = ORBOM_Class_Import(conn_, text.data(), static_cast<uint32_t>(text.size()),
                                           &l, buffer, sizeof buffer);
    if (line) *line = l;
    if (message) *message = buffer;
    return rc;
}

}  // namespace nwomapitest
