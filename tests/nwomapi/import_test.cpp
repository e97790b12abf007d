// Class import: all or nothing with the failing line, idempotent, growing
// classes, refusing type changes; and what a new repository holds.
#include <sqlite3.h>

#include <cstring>

#include "tests/nwomapi/repository_fixture.h"

namespace nwomapitest {
namespace {

using ImportTest = RepositoryTest;

std::vector<std::string> Classes(ORBOM_CONNECTION conn) {
    std::vector<std::string> out;
    char name[32];
    for (uint32_t i = 0; ORBOM_Class_Enum(conn, i, name, sizeof name) == 0; ++i) out.push_back(name);
    return out;
}

TEST_P(ImportTest, NewRepositoryHoldsTheFrameworkClassesAndRootObject) {
    const std::vector<std::string> classes = Classes(conn_);
    for (const char* cls : {"Inclusion", "BusinessView", "ManagedObjectRoot", "SAN",
                            "FibreChannel", "Unclassified_TCP", "WindowsNT_Server", "SunOS"}) {
        EXPECT_NE(std::find(classes.begin(), classes.end(), cls), classes.end()) << cls;
    }
    EXPECT_EQ(Names("ManagedObjectRoot", {}), std::vector<std::string>{"Root"});
    char name[32];
    uint32_t type = 0;
    ASSERT_EQ(ORBOM_Class_GetPropertyInfo(conn_, "Inclusion", 5, name, sizeof name, &type), 0);
    EXPECT_STREQ(name, "child_sequence_no");
    EXPECT_EQ(type, ORBOM_TYPE_INTEGER);
    EXPECT_EQ(ORBOM_Class_GetPropertyInfo(conn_, "Inclusion", 6, name, sizeof name, &type),
              ORBOM_RC_END_OF_DATA);
    EXPECT_EQ(ORBOM_Class_GetPropertyInfo(conn_, "Nope", 0, name, sizeof name, &type),
              ORBOM_RC_INVALID_CLASS);
    EXPECT_EQ(ORBOM_Class_Enum(conn_, 0, name, 2), ORBOM_RC_BUFFER_TOO_SMALL);
}

TEST_P(ImportTest, MalformedTextChangesNothingAndNamesItsLine) {
    const std::vector<std::string> before = Classes(conn_);
    struct Case {
        const char* text;
        uint32_t line;
        ORBOM_RC rc;
    };
    for (const Case& c : std::vector<Case>{
             {"class A\n  x string\nend\nclass B\n  y strng\nend\n", 5, ORBOM_RC_OPERATION_FAIL},
             {"class A\n  x string\n", 1, ORBOM_RC_OPERATION_FAIL},  // no end
             {"class A\n x string # fine\nend\nobject A\n x \"open\nend\n", 5,
              ORBOM_RC_OPERATION_FAIL},
             {"class A\n  uuid uuid\n  n integer\nend\nobject A\n  uuid {00000000-0000-0000-0000-000000000001}\n  n 12x\nend\n",
              7, ORBOM_RC_OPERATION_FAIL},
             {"class A\n  x string\nend\nobject A\n  x \"v\"\nend\n", 4, ORBOM_RC_OPERATION_FAIL},
             {"class A\n  x string\nend\nobject Nope\n  x \"v\"\nend\n", 4, ORBOM_RC_INVALID_CLASS},
             {"class A\n  x string\nend\nclass Inclusion\n  parent_uuid string\nend\n", 5,
              ORBOM_RC_PROPERTY_EXIST},
             {"class A\n  x string\nend\nclass inclusion\nend\n", 4, ORBOM_RC_OPERATION_FAIL},
             {"class ThisNameIsMuchLongerThanThirtyOneChars\nend\n", 1, ORBOM_RC_OPERATION_FAIL},
         }) {
        uint32_t line = 0;
        std::string message;
        EXPECT_EQ(Import(c.text, &line, &message), c.rc) << c.text;
        EXPECT_EQ(line, c.line) << c.text << " -> " << message;
        EXPECT_FALSE(message.empty());
        EXPECT_EQ(Classes(conn_), before) << c.text;
    }
}

TEST_P(ImportTest, ReimportChangesNothingAndNewPropertiesAreAdded) {
    const std::string text =
        "class Box  # a test class\n  uuid uuid\n  label string\nend\n"
        "object Box\n  uuid {11111111-2222-3333-4444-555555555555}\n  label \"say \\\"hi\\\"\"\nend\n";
    ASSERT_EQ(Import(text), 0);
    ASSERT_EQ(Import(text), 0);
    EXPECT_EQ(Names("Box", {}, "label"), std::vector<std::string>{"say \"hi\""});

    ASSERT_EQ(Import("class Box\n  uuid uuid\n  size integer\nend\n"), 0);
    char name[32];
    uint32_t type = 0;
    ASSERT_EQ(ORBOM_Class_GetPropertyInfo(conn_, "Box", 2, name, sizeof name, &type), 0);
    EXPECT_STREQ(name, "size");
    // The existing object keeps its values; the new property is null.
    EXPECT_EQ(Names("Box", {Null("size", ORBOM_TYPE_INTEGER)}, "label").size(), 1u);
}

// Machines are found by "name": a repository whose index is missing (made
// before it was wanted) gets it back when its classes are imported again.
TEST_P(ImportTest, ReimportRestoresAMissingNameIndex) {
    const std::string text = "class Box\n  uuid uuid\n  name string\n  size integer\nend\n";
    ASSERT_EQ(Import(text), 0);
    const std::string file = *root_ / std::string("orbmap/Test.orb.db");
    const std::string schema = OnPostgres() ? schemas_.front()->name() : "";
    // The class's indexes as the database lists them, and one of them dropped.
    auto indexes = [&] {
        std::vector<std::string> names;
        if (OnPostgres()) {
            std::vector<std::vector<std::string>> rows;
            EXPECT_TRUE(orbtest::PgRun("SELECT indexname FROM pg_indexes WHERE schemaname='" +
                                           schema + "' AND tablename='o_Box' AND indexname"
                                           " LIKE 'i.%' ORDER BY indexname",
                                       &rows));
            for (const auto& row : rows) names.push_back(row[0]);
            return names;
        }
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='index' AND tbl_name='o_Box'"
                               " ORDER BY name", -1, &stmt, nullptr);
        while (sqlite3_step(stmt) == SQLITE_ROW)
            names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return names;
    };
    auto dropNameIndex = [&] {
        if (OnPostgres()) {
            ASSERT_TRUE(orbtest::PgRun("DROP INDEX \"" + schema + "\".\"i.Box.name\""));
            return;
        }
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "DROP INDEX \"i.Box.name\"", nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    };
    const std::vector<std::string> wanted = {"i.Box.name", "i.Box.uuid"};
    ASSERT_EQ(indexes(), wanted);
    dropNameIndex();
    ASSERT_EQ(indexes(), std::vector<std::string>{"i.Box.uuid"});
    ASSERT_EQ(Import(text), 0);
    EXPECT_EQ(indexes(), wanted);
}

NWOMAPI_ON_BOTH(ImportTest);

}  // namespace
}  // namespace nwomapitest
