// What only a repository in PostgreSQL does: the server's errors with their
// SQLSTATE, a connection lost and found again, passwords only from the
// password file, the registry settings that place a repository there, and
// the server's own column types.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "platform/registry.h"
#include "tests/nwomapi/repository_fixture.h"

namespace nwomapitest {
namespace {

constexpr const char* kRepositoriesKey =
    "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Repositories";

// The server's packing of a SQLSTATE into the native code.
int Packed(const std::string& state) {
    int code = 0;
    for (size_t i = 0; i < state.size(); ++i) code += ((state[i] - '0') & 0x3F) << (6 * i);
    return code;
}

class PostgresTest : public RepositoryTest {
  protected:
    std::string Schema() const { return schemas_.front()->name(); }
    std::string NativeError(ORBOM_CONNECTION c, int32_t* code = nullptr) {
        char text[ORBOM_NATIVE_ERROR_SIZE] = "";
        int32_t native = 0;
        EXPECT_EQ(ORBOM_Repository_GetNativeError(c, text, sizeof text, &native), 0);
        if (code) *code = native;
        return text;
    }
    ORBOM_RC CreateNamed(ORBOM_CONNECTION c, const std::string& name) {
        ORBOM_PROPLIST list = Properties({Str("name", name)});
        const ORBOM_RC rc = ORBOM_Object_Create(c, "Unix", list);
        ORBOM_PropertyList_Free(&list);
        return rc;
    }
    ORBOM_RC CountOn(ORBOM_CONNECTION c, uint32_t* count) {
        ORBOM_SELECTION s = 0;
        const ORBOM_RC rc =
            ORBOM_ObjectList_Select(c, "Unix", 0, "*", 0, &s, count, nullptr, nullptr);
        if (s) ORBOM_ObjectList_EndSelect(&s);
        return rc;
    }
    // A kernel of its own under a client name the server shows, so that
    // Terminate can end just its sessions; connected to "Test".
    struct NamedClient {
        std::string name;
        ORBOM_KERNEL kernel = 0;
        ORBOM_CONNECTION c = 0;
        explicit NamedClient(const std::string& prefix) : name(prefix + std::to_string(getpid())) {
            EXPECT_EQ(ORBOM_Kernel_Start(name.c_str(), &kernel, 0), 0);
            EXPECT_EQ(ORBOM_Repository_Connect(kernel, "Test", &c), 0);
        }
        ~NamedClient() {
            ORBOM_Repository_Disconnect(&c);
            ORBOM_Kernel_Stop(&kernel);
        }
        NamedClient(const NamedClient&) = delete;
        NamedClient& operator=(const NamedClient&) = delete;
    };
    // Ends the server sessions of a client name and waits until they are gone.
    void Terminate(const std::string& client) {
        const std::string where = "FROM pg_stat_activity WHERE application_name='" + client + "'";
        ASSERT_TRUE(orbtest::PgRun("SELECT pg_terminate_backend(pid) " + where));
        for (int i = 0; i < 500; ++i) {
            std::vector<std::vector<std::string>> rows;
            ASSERT_TRUE(orbtest::PgRun("SELECT count(*) " + where, &rows));
            if (rows[0][0] == "0") return;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        FAIL() << "the sessions of " << client << " did not end";
    }
};

TEST_P(PostgresTest, TheServersRefusalsAnswer29WithTheirSqlstate) {
    // Text that is not UTF-8, which the database's encoding refuses.
    EXPECT_EQ(Create("Unix", {Str("name", "bad \xff byte")}), ORBOM_RC_REPOSITORY_NATIVE_ERROR);
    int32_t code = 0;
    std::string text = NativeError(conn_, &code);
    EXPECT_EQ(text.rfind("SQLSTATE 22021: ", 0), 0u) << text;
    EXPECT_EQ(code, Packed("22021"));

    // A table gone behind the client's back: the next select says so.
    ASSERT_EQ(Import(kGadget), 0);
    ASSERT_EQ(Create("Gadget", {Str("name", "g")}), 0);
    ASSERT_TRUE(orbtest::PgRun("DROP TABLE \"" + Schema() + "\".\"o_Gadget\""));
    ORBOM_SELECTION s = 0;
    uint32_t count = 0;
    EXPECT_EQ(ORBOM_ObjectList_Select(conn_, "Gadget", 0, "*", 0, &s, &count, nullptr, nullptr),
              ORBOM_RC_REPOSITORY_NATIVE_ERROR);
    text = NativeError(conn_, &code);
    EXPECT_EQ(text.rfind("SQLSTATE 42P01: ", 0), 0u) << text;
    EXPECT_EQ(code, Packed("42P01"));

    // Inside a unit the refused write undoes only itself.
    ASSERT_EQ(ORBOM_Transaction_Begin(conn_), 0);
    ASSERT_EQ(CreateNamed(conn_, "before"), 0);
    EXPECT_EQ(CreateNamed(conn_, "bad \xff"), ORBOM_RC_REPOSITORY_NATIVE_ERROR);
    EXPECT_EQ(NativeError(conn_).rfind("SQLSTATE 22021: ", 0), 0u);
    ASSERT_EQ(CreateNamed(conn_, "after"), 0);
    ASSERT_EQ(ORBOM_Transaction_Commit(conn_), 0);
    EXPECT_EQ(Names("Unix", {}), (std::vector<std::string>{"before", "after"}));
}

TEST_P(PostgresTest, ALostConnectionAnswers62AndTheNextOperationConnectsAgain) {
    NamedClient named("lost");
    ASSERT_NE(named.c, 0u);
    const std::string& client = named.name;
    ORBOM_CONNECTION c = named.c;
    ASSERT_EQ(CreateNamed(c, "first"), 0);

    Terminate(client);
    uint32_t count = 0;
    EXPECT_EQ(CountOn(c, &count), ORBOM_RC_REPOSITORY_CONNECTION_LOST);
    EXPECT_NE(NativeError(c), "");
    ASSERT_EQ(CountOn(c, &count), 0);
    EXPECT_EQ(count, 1u);

    // A unit the connection takes with it is gone whole, and says so to its end.
    ASSERT_EQ(ORBOM_Transaction_Begin(c), 0);
    ASSERT_EQ(CreateNamed(c, "in-lost-unit"), 0);
    Terminate(client);
    EXPECT_EQ(CreateNamed(c, "second"), ORBOM_RC_REPOSITORY_CONNECTION_LOST);
    EXPECT_EQ(CreateNamed(c, "third"), ORBOM_RC_REPOSITORY_CONNECTION_LOST);
    EXPECT_EQ(ORBOM_Transaction_Commit(c), ORBOM_RC_REPOSITORY_CONNECTION_LOST);
    ASSERT_EQ(CountOn(c, &count), 0);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(Names("Unix", {}), std::vector<std::string>{"first"});

    // Rolling a lost unit back is no failure, and the connection works on.
    ASSERT_EQ(ORBOM_Transaction_Begin(c), 0);
    Terminate(client);
    EXPECT_EQ(CreateNamed(c, "fourth"), ORBOM_RC_REPOSITORY_CONNECTION_LOST);
    EXPECT_EQ(ORBOM_Transaction_Rollback(c), 0);
    EXPECT_EQ(CreateNamed(c, "fifth"), 0);
    EXPECT_EQ(Names("Unix", {}), (std::vector<std::string>{"first", "fifth"}));
}

TEST_P(PostgresTest, AReadCacheStartsEmptyOnANewSession) {
    NamedClient named("cached");
    ASSERT_NE(named.c, 0u);
    const std::string& client = named.name;
    ORBOM_CONNECTION c = named.c;
    ASSERT_EQ(CreateNamed(c, "first"), 0);
    uint32_t count = 0;
    ASSERT_EQ(CountOn(c, &count), 0);
    ORBOM_CACHE_STATS stats{};
    ASSERT_EQ(ORBOM_Statistics_Cache(c, &stats), 0);
    EXPECT_GT(stats.entries, 0u);

    // What was signalled while no session listened is lost with it.
    Terminate(client);
    ASSERT_TRUE(
        orbtest::PgRun("INSERT INTO \"" + Schema() + "\".\"o_Unix\"(\"p_name\") VALUES('x')"));
    EXPECT_EQ(CountOn(c, &count), ORBOM_RC_REPOSITORY_CONNECTION_LOST);
    ASSERT_EQ(ORBOM_Statistics_Cache(c, &stats), 0);
    EXPECT_EQ(stats.entries, 0u);
    ASSERT_EQ(CountOn(c, &count), 0);
    EXPECT_EQ(count, 2u);
}

TEST_P(PostgresTest, ARepositoryMadeBeforeChangeSignalsGetsThemWhenOpened) {
    const std::string schema = "\"" + Schema() + "\"";
    ASSERT_TRUE(orbtest::PgRun("DROP TABLE " + schema + ".orb_change; DROP FUNCTION " + schema +
                               ".orb_changed() CASCADE; DELETE FROM " + schema +
                               ".orb_meta WHERE key='change_signals'"));
    ORBOM_CONNECTION c = 0;
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Test", &c), 0);
    ORBOM_CACHE_STATS stats{};
    ASSERT_EQ(ORBOM_Statistics_Cache(c, &stats), 0);
    EXPECT_EQ(stats.enabled, 1u);
    uint32_t count = 0;
    ASSERT_EQ(CountOn(c, &count), 0);
    ASSERT_TRUE(orbtest::PgRun("INSERT INTO " + schema + ".\"o_Unix\"(\"p_name\") VALUES('x')"));
    ASSERT_EQ(ORBOM_Transaction_Begin(c), 0);
    ASSERT_EQ(CountOn(c, &count), 0);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(ORBOM_Transaction_Rollback(c), 0);
    ORBOM_Repository_Disconnect(&c);
}

TEST_P(PostgresTest, PasswordsComeOnlyFromAnOwnerOnlyPasswordFile) {
    ASSERT_TRUE(orbtest::PgRun(
        "DO $$BEGIN IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname='orb_password') THEN"
        " CREATE ROLE orb_password LOGIN; END IF; END$$"));
    ASSERT_TRUE(orbtest::PgRun("ALTER ROLE orb_password PASSWORD 'Pass-Word-7'"));
    ASSERT_TRUE(orbtest::PgRun("GRANT CREATE ON DATABASE postgres TO orb_password"));
    orbtest::PgSchema schema;
    schema.Register("Guarded", orbtest::PgConnection() + " user=orb_password");
    const std::string passfile = *root_ / "pgpass";
    orbtest::ScopedEnv env("PGPASSFILE", passfile);

    // No password at all, then one in a file others may read: refused.
    EXPECT_EQ(ORBOM_Repository_Create(kernel_, "Guarded"), ORBOM_RC_REPOSITORY_LOGIN_FAILED);
    std::ofstream(passfile) << "*:*:*:orb_password:Pass-Word-7\n";
    ASSERT_EQ(::chmod(passfile.c_str(), 0644), 0);
    EXPECT_EQ(ORBOM_Repository_Create(kernel_, "Guarded"), ORBOM_RC_REPOSITORY_LOGIN_FAILED);
    // The owner's alone: the repository is made and reached.
    ASSERT_EQ(::chmod(passfile.c_str(), 0600), 0);
    ASSERT_EQ(ORBOM_Repository_Create(kernel_, "Guarded"), 0);
    ORBOM_CONNECTION c = 0;
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Guarded", &c), 0);
    ORBOM_Repository_Disconnect(&c);

    // A password in the settings is never used: refused with the reason.
    const std::string key = std::string(kRepositoriesKey) + "\\Guarded";
    ASSERT_EQ(
        orb::RegSetString(key, "Connection",
                          orbtest::PgConnection() + " user=orb_password password=Pass-Word-7"),
        ERROR_SUCCESS);
    EXPECT_EQ(ORBOM_Repository_Connect(kernel_, "Guarded", &c), ORBOM_RC_INVALID_REPOSITORY);
    EXPECT_NE(NativeError(0).find("password"), std::string::npos);
    EXPECT_EQ(
        ORBOM_Repository_Register(kernel_, "Guarded", "postgresql", "host=/tmp password=x", ""),
        ORBOM_RC_OPERATION_FAIL);
    EXPECT_NE(NativeError(0).find("password"), std::string::npos);
}

TEST_P(PostgresTest, TheRegistryPlacesNamesAndListsThem) {
    // Registered, not yet made: listed, and connecting says it is not there.
    orbtest::PgSchema other;
    ASSERT_EQ(ORBOM_Repository_Register(kernel_, "Site", "postgresql",
                                        orbtest::PgConnection().c_str(), other.name().c_str()),
              0);
    std::string value;
    ASSERT_EQ(orb::RegGetString(std::string(kRepositoriesKey) + "\\Site", "Schema", &value), 0);
    EXPECT_EQ(value, other.name());
    ASSERT_EQ(ORBOM_Repository_EnumBegin(kernel_, ORBOM_ENUM_BY_NAME), 0);
    std::vector<std::string> names;
    char name[32];
    while (ORBOM_Repository_EnumNext(kernel_, name, sizeof name) == 0) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"Site", "Test"}));
    ORBOM_CONNECTION c = 0;
    EXPECT_EQ(ORBOM_Repository_Connect(kernel_, "Site", &c), ORBOM_RC_INVALID_REPOSITORY);
    ASSERT_EQ(ORBOM_Repository_Create(kernel_, "Site"), 0);
    EXPECT_EQ(ORBOM_Repository_Create(kernel_, "Site"), ORBOM_RC_NAME_IS_NOT_UNIQUE);
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Site", &c), 0);
    ORBOM_Repository_Disconnect(&c);
    const std::string site = std::string(kRepositoriesKey) + "\\Site";
    ASSERT_EQ(orb::RegSetString(site, "SynchronousCommit", "on"), 0);
    ASSERT_EQ(ORBOM_Repository_Connect(kernel_, "Site", &c), 0);
    ORBOM_Repository_Disconnect(&c);
    ASSERT_EQ(orb::RegSetString(site, "SynchronousCommit", "sometimes"), 0);
    EXPECT_EQ(ORBOM_Repository_Connect(kernel_, "Site", &c), ORBOM_RC_INVALID_REPOSITORY);
    EXPECT_NE(NativeError(0).find("sometimes"), std::string::npos);
    ASSERT_EQ(orb::RegRemoveValue(site, "SynchronousCommit"), 0);

    // Settings that cannot work are refused with the reason.
    for (const char* backend : {"oracle", ""}) {
        EXPECT_EQ(ORBOM_Repository_Register(kernel_, "Site", backend, "", ""),
                  ORBOM_RC_OPERATION_FAIL)
            << backend;
    }
    EXPECT_EQ(ORBOM_Repository_Register(kernel_, "Site", "postgresql", "host=x", "bad-name"),
              ORBOM_RC_OPERATION_FAIL);
    EXPECT_EQ(ORBOM_Repository_Register(kernel_, "Site", "postgresql", "host='unterminated", ""),
              ORBOM_RC_OPERATION_FAIL);
    ASSERT_EQ(orb::RegSetString(std::string(kRepositoriesKey) + "\\Site", "Backend", "oracle"), 0);
    EXPECT_EQ(ORBOM_Repository_Connect(kernel_, "Site", &c), ORBOM_RC_INVALID_REPOSITORY);
    EXPECT_NE(NativeError(0).find("oracle"), std::string::npos);

    // A server that is not there: the connection's failure, not the name's.
    ASSERT_EQ(ORBOM_Repository_Register(kernel_, "Site", "postgresql",
                                        "host=/nonexistent/socket/dir port=1", ""),
              0);
    EXPECT_EQ(ORBOM_Repository_Connect(kernel_, "Site", &c), ORBOM_RC_REPOSITORY_CONNECTION_LOST);

    // Back to the file, which then serves the name.
    ASSERT_EQ(ORBOM_Repository_Register(kernel_, "Site", "sqlite", nullptr, nullptr), 0);
    EXPECT_EQ(ORBOM_Repository_Connect(kernel_, "Site", &c), ORBOM_RC_INVALID_REPOSITORY);
    ASSERT_EQ(ORBOM_Repository_Create(kernel_, "Site"), 0);
    EXPECT_TRUE(std::ifstream(*root_ / "orbmap/Site.orb.db").good());
}

TEST_P(PostgresTest, ValuesAreKeptInTheServersOwnTypes) {
    ASSERT_EQ(Import(kGadget), 0);
    Prop id = Uuid("uuid", 0);
    const uint8_t bytes[16] = {0x40, 0xFC, 0x29, 0x6B, 0x47, 0xCA, 0x67, 0x10,
                               0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA};
    id.bytes.assign(reinterpret_cast<const char*>(bytes), 16);
    const int32_t on = 1;
    ASSERT_EQ(Create("Gadget", {id,
                                Int("count", 7),
                                Str("name", "n"),
                                {"on", ORBOM_TYPE_BOOLEAN, std::string((const char*)&on, 4)},
                                {"grade", ORBOM_TYPE_CHAR, std::string(1, '\0')}}),
              0);
    std::vector<std::vector<std::string>> rows;
    ASSERT_TRUE(orbtest::PgRun(
        "SELECT p_uuid::text, p_count, p_on, p_grade FROM \"" + Schema() + "\".\"o_Gadget\"",
        &rows));
    ASSERT_EQ(rows.size(), 1u);
    // The text the client shows for that UUID, {6B29FC40-CA47-1067-...}.
    EXPECT_EQ(rows[0],
              (std::vector<std::string>{"6b29fc40-ca47-1067-b31d-00dd010662da", "7", "t", "0"}));
    ASSERT_TRUE(
        orbtest::PgRun("SELECT column_name, data_type FROM information_schema.columns"
                       " WHERE table_schema='" +
                           Schema() +
                           "' AND table_name='o_Gadget'"
                           " ORDER BY ordinal_position",
                       &rows));
    std::vector<std::string> types;
    for (const auto& row : rows) types.push_back(row[0] + " " + row[1]);
    EXPECT_EQ(types, (std::vector<std::string>{"oid bigint", "p_uuid uuid", "p_name text",
                                               "p_count integer", "p_ratio double precision",
                                               "p_on boolean", "p_seen text", "p_grade smallint",
                                               "p_blob bytea"}));
}

INSTANTIATE_TEST_SUITE_P(, PostgresTest, ::testing::Values(Backend::Postgres), BackendName);

}  // namespace
}  // namespace nwomapitest
