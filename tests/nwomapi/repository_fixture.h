// A private machine root with one fresh repository "Test", connected, and
// helpers to build criteria, property lists and read objects back. The
// repository is an SQLite file or a schema of the tests' PostgreSQL server,
// as the test's parameter says; suites that hold for both run on both.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/nwomapi/nwomapi.h"
#include "tests/pgtest/pg_scratch.h"
#include "tests/platform/scratch_dir.h"

namespace nwomapitest {

// A class with a property of every type.
inline constexpr const char* kGadget = R"(
class Gadget
    uuid     uuid
    name     string
    count    integer
    ratio    double
    on       boolean
    seen     datetime
    grade    char
    blob     binary
end
)";

// One criterion or property value as tests write them.
struct Prop {
    std::string name;
    uint32_t type;
    std::string bytes;
    bool null = false;
};
Prop Str(const std::string& name, const std::string& text);
Prop Int(const std::string& name, int32_t value);
Prop Uuid(const std::string& name, uint8_t fill);
Prop Null(const std::string& name, uint32_t type);

enum class Backend { Sqlite, Postgres };
std::string BackendName(const ::testing::TestParamInfo<Backend>& info);

class RepositoryTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override;
    void TearDown() override;

    bool OnPostgres() const { return GetParam() == Backend::Postgres; }
    // Puts a repository name of this machine on the test's backend (its own
    // schema on PostgreSQL; a file needs nothing), before it is created.
    void Place(const std::string& repository);

    ORBOM_CRITERIA Criteria(const std::vector<Prop>& props);
    ORBOM_PROPLIST Properties(const std::vector<Prop>& props);
    ORBOM_RC Create(const std::string& cls, const std::vector<Prop>& props);
    // The text value of property for every object matching the criteria.
    std::vector<std::string> Names(const std::string& cls, const std::vector<Prop>& criteria,
                                   const std::string& property = "name");
    ORBOM_RC Import(const std::string& text, uint32_t* line = nullptr,
                    std::string* message = nullptr);

    std::unique_ptr<orbtest::ScratchDir> root_;
    std::unique_ptr<orbtest::ScopedEnv> env_;
    std::vector<std::unique_ptr<orbtest::PgSchema>> schemas_;
    ORBOM_KERNEL kernel_ = 0;
    ORBOM_CONNECTION conn_ = 0;
};

// The suite on both backends, or on SQLite only.
#define NWOMAPI_ON_BOTH(Suite)                                                              \
    INSTANTIATE_TEST_SUITE_P(, Suite,                                                       \
                             ::testing::Values(::nwomapitest::Backend::Sqlite,              \
                                               ::nwomapitest::Backend::Postgres),           \
                             ::nwomapitest::BackendName)
#define NWOMAPI_ON_SQLITE(Suite)                                                            \
    INSTANTIATE_TEST_SUITE_P(, Suite, ::testing::Values(::nwomapitest::Backend::Sqlite), \
                             ::nwomapitest::BackendName)

}  // namespace nwomapitest
