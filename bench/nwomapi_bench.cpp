// The repository client against raw SQLite on the same file: point select by
// "uuid", a three-criteria select on "Inclusion", creates, and connecting
// (which checks every page of the file), at 10,000 machine objects with 10
// "Inclusion" links each (110,000 objects).
//
// The data set is loaded straight into the class tables in one transaction
// (setup, not measured). Raw SQLite uses prepared statements that are
// reused; the client runs its full call sequence per query: criteria
// allocate/add/free, select, get next, get property of every property, end
// select. Both read every property of the result.
//
// Run: build/bin/nwomapi_bench (the repository lives in a temporary machine
// root that is removed at exit).
//
// bench-libs: nwomapi platform SQLite::SQLite3
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "framework/nwomapi/nwomapi.h"

namespace {

constexpr int kMachines = 10000;
constexpr int kLinksPerMachine = 10;
constexpr const char* kMachineClass = "WindowsNT_Server";

using Uuid = std::array<unsigned char, 16>;

struct World {
    std::string root;
    std::string file;
    std::vector<Uuid> machines;
    ORBOM_KERNEL kernel = 0;
    ORBOM_CONNECTION conn = 0;
    sqlite3* raw = nullptr;
    std::mt19937 random{42};

    World() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orbbench-XXXXXX").string();
        root = mkdtemp(pattern.data()) ? pattern : "";
        setenv("ORB_MACHINE_ROOT", root.c_str(), 1);
        file = root + "/orbmap/Bench.orb.db";
        if (ORBOM_Kernel_Start("bench", &kernel, 0) || ORBOM_Repository_Create(kernel, "Bench") ||
            ORBOM_Repository_Connect(kernel, "Bench", &conn)) {
            std::abort();
        }
        sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_busy_timeout(raw, 5000);
        sqlite3_exec(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL; PRAGMA cache_size=-65536",
                     nullptr, nullptr, nullptr);
        Load();
    }

    ~World() {
        sqlite3_close_v2(raw);
        ORBOM_Repository_Disconnect(&conn);
        ORBOM_Kernel_Stop(&kernel);
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }

    Uuid NewUuid() {
        Uuid u;
        for (auto& b : u) b = static_cast<unsigned char>(random());
        return u;
    }

    void Load() {
        sqlite3_exec(raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_stmt* machine = Prepare(
            "INSERT INTO o_WindowsNT_Server(p_uuid, p_name, p_label) VALUES(?,?,?)");
        sqlite3_stmt* link = Prepare(
            "INSERT INTO o_Inclusion(p_uuid, p_parent_uuid, p_parent_class, p_child_uuid,"
            " p_child_class, p_child_sequence_no) VALUES(?,?,?,?,?,0)");
        for (int i = 0; i < kMachines; ++i) {
            const Uuid m = NewUuid();
            machines.push_back(m);
            const std::string name = "host" + std::to_string(i);
            sqlite3_bind_blob(machine, 1, m.data(), 16, SQLITE_TRANSIENT);
            sqlite3_bind_text(machine, 2, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(machine, 3, name.c_str(), -1, SQLITE_TRANSIENT);
            Step(machine);
            for (int k = 0; k < kLinksPerMachine; ++k) {
                const Uuid l = NewUuid(), child = NewUuid();
                const std::string childClass = "Child" + std::to_string(k);
                sqlite3_bind_blob(link, 1, l.data(), 16, SQLITE_TRANSIENT);
                sqlite3_bind_blob(link, 2, m.data(), 16, SQLITE_TRANSIENT);
                sqlite3_bind_text(link, 3, kMachineClass, -1, SQLITE_STATIC);
                sqlite3_bind_blob(link, 4, child.data(), 16, SQLITE_TRANSIENT);
                sqlite3_bind_text(link, 5, childClass.c_str(), -1, SQLITE_TRANSIENT);
                Step(link);
            }
        }
        sqlite3_finalize(machine);
        sqlite3_finalize(link);
        sqlite3_exec(raw, "COMMIT", nullptr, nullptr, nullptr);
    }

    sqlite3_stmt* Prepare(const char* sql) {
        sqlite3_stmt* stmt = nullptr;
        if (sqlite3_prepare_v3(raw, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK) {
            std::abort();
        }
        return stmt;
    }

    static void Step(sqlite3_stmt* stmt) {
        if (sqlite3_step(stmt) != SQLITE_DONE) std::abort();
        sqlite3_reset(stmt);
    }
};

World& TheWorld() {
    static World world;
    return world;
}

// Reads every column of every row; returns the row count.
int ReadAll(sqlite3_stmt* stmt) {
    int rows = 0;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
            benchmark::DoNotOptimize(sqlite3_column_blob(stmt, c));
            benchmark::DoNotOptimize(sqlite3_column_bytes(stmt, c));
        }
        ++rows;
    }
    sqlite3_reset(stmt);
    return rows;
}

// Client select of cls with the criteria; reads every property of every object.
int ClientSelect(World& w, const char* cls,
                 const std::vector<std::tuple<const char*, uint32_t, const void*, uint32_t>>& where,
                 const std::vector<const char*>& properties) {
    ORBOM_CRITERIA c = 0;
    ORBOM_Criteria_Allocate(&c, static_cast<uint32_t>(where.size()));
    for (const auto& [name, type, value, length] : where) {
        ORBOM_Criteria_Add(c, name, type, length, value, 0, 1);
    }
    ORBOM_SELECTION s = 0;
    uint32_t count = 0, classes = 0, props = 0;
    if (ORBOM_ObjectList_Select(w.conn, cls, c, "*", 0, &s, &count, &classes, &props)) std::abort();
    ORBOM_OBJECT o = 0;
    int rows = 0;
    for (ORBOM_RC rc = ORBOM_RC_MORE_DATA; rc == ORBOM_RC_MORE_DATA;) {
        rc = ORBOM_ObjectList_GetNext(s, &o, nullptr);
        if (rc != ORBOM_RC_SUCCESS && rc != ORBOM_RC_MORE_DATA) break;
        for (const char* p : properties) {
            uint32_t type = 0, length = 0;
            const void* value = nullptr;
            uint8_t isNull = 0;
            ORBOM_Object_GetProperty(o, p, &type, &length, &value, &isNull);
            benchmark::DoNotOptimize(value);
        }
        ++rows;
    }
    ORBOM_ObjectList_EndSelect(&s);
    ORBOM_Criteria_Free(&c);
    return rows;
}

void BM_PointSelect_RawSQLite(benchmark::State& state) {
    World& w = TheWorld();
    sqlite3_stmt* stmt =
        w.Prepare("SELECT p_uuid, p_name, p_label FROM o_WindowsNT_Server WHERE p_uuid=?");
    std::uniform_int_distribution<int> pick(0, kMachines - 1);
    for (auto _ : state) {
        sqlite3_bind_blob(stmt, 1, w.machines[pick(w.random)].data(), 16, SQLITE_STATIC);
        if (ReadAll(stmt) != 1) std::abort();
    }
    sqlite3_finalize(stmt);
}
BENCHMARK(BM_PointSelect_RawSQLite);

void BM_PointSelect_Client(benchmark::State& state) {
    World& w = TheWorld();
    std::uniform_int_distribution<int> pick(0, kMachines - 1);
    for (auto _ : state) {
        const Uuid& u = w.machines[pick(w.random)];
        if (ClientSelect(w, kMachineClass, {{"uuid", ORBOM_TYPE_UUID, u.data(), 16}},
                         {"uuid", "name", "label"}) != 1) {
            std::abort();
        }
    }
}
BENCHMARK(BM_PointSelect_Client);

void BM_ThreeCriteriaSelect_RawSQLite(benchmark::State& state) {
    World& w = TheWorld();
    sqlite3_stmt* stmt = w.Prepare(
        "SELECT p_uuid, p_parent_uuid, p_parent_class, p_child_uuid, p_child_class,"
        " p_child_sequence_no FROM o_Inclusion"
        " WHERE p_parent_uuid=? AND p_parent_class=? AND p_child_class=?");
    std::uniform_int_distribution<int> pick(0, kMachines - 1), child(0, kLinksPerMachine - 1);
    for (auto _ : state) {
        const std::string childClass = "Child" + std::to_string(child(w.random));
        sqlite3_bind_blob(stmt, 1, w.machines[pick(w.random)].data(), 16, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, kMachineClass, -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 3, childClass.c_str(), -1, SQLITE_STATIC);
        if (ReadAll(stmt) != 1) std::abort();
    }
    sqlite3_finalize(stmt);
}
BENCHMARK(BM_ThreeCriteriaSelect_RawSQLite);

void BM_ThreeCriteriaSelect_Client(benchmark::State& state) {
    World& w = TheWorld();
    std::uniform_int_distribution<int> pick(0, kMachines - 1), child(0, kLinksPerMachine - 1);
    const auto classLength = static_cast<uint32_t>(std::strlen(kMachineClass));
    for (auto _ : state) {
        const std::string childClass = "Child" + std::to_string(child(w.random));
        const Uuid& u = w.machines[pick(w.random)];
        if (ClientSelect(w, "Inclusion",
                         {{"parent_uuid", ORBOM_TYPE_UUID, u.data(), 16},
                          {"parent_class", ORBOM_TYPE_STRING, kMachineClass, classLength},
                          {"child_class", ORBOM_TYPE_STRING, childClass.data(),
                           static_cast<uint32_t>(childClass.size())}},
                         {"uuid", "parent_uuid", "parent_class", "child_uuid", "child_class",
                          "child_sequence_no"}) != 1) {
            std::abort();
        }
    }
}
BENCHMARK(BM_ThreeCriteriaSelect_Client);

// Creates: one transaction per object on both sides, as the client does.
void BM_Create_RawSQLite(benchmark::State& state) {
    World& w = TheWorld();
    sqlite3_stmt* stmt = w.Prepare("INSERT INTO o_Unix(p_uuid, p_name, p_label) VALUES(?,?,?)");
    int i = 0;
    for (auto _ : state) {
        const Uuid u = w.NewUuid();
        const std::string name = "raw" + std::to_string(i++);
        sqlite3_exec(w.raw, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_bind_blob(stmt, 1, u.data(), 16, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, name.c_str(), -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 3, name.c_str(), -1, SQLITE_STATIC);
        World::Step(stmt);
        sqlite3_exec(w.raw, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_finalize(stmt);
}
BENCHMARK(BM_Create_RawSQLite);

void BM_Create_Client(benchmark::State& state) {
    World& w = TheWorld();
    int i = 0;
    for (auto _ : state) {
        const Uuid u = w.NewUuid();
        const std::string name = "api" + std::to_string(i++);
        const auto n = static_cast<uint32_t>(name.size());
        ORBOM_PROPLIST l = 0;
        ORBOM_PropertyList_Allocate(&l, 3);
        ORBOM_PropertyList_Add(l, "uuid", ORBOM_TYPE_UUID, 16, u.data(), 0);
        ORBOM_PropertyList_Add(l, "name", ORBOM_TYPE_STRING, n, name.data(), 0);
        ORBOM_PropertyList_Add(l, "label", ORBOM_TYPE_STRING, n, name.data(), 0);
        if (ORBOM_Object_Create(w.conn, "Unix", l)) std::abort();
        ORBOM_PropertyList_Free(&l);
    }
}
BENCHMARK(BM_Create_Client);

// A connection's life: open, the first read, close. The client also checks
// every page of the file before it hands out the connection.
void BM_Connect_RawSQLite(benchmark::State& state) {
    World& w = TheWorld();
    for (auto _ : state) {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(w.file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            std::abort();
        }
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT value FROM orb_meta WHERE key='format'", -1, &stmt, nullptr);
        benchmark::DoNotOptimize(sqlite3_step(stmt));
        sqlite3_finalize(stmt);
        sqlite3_close_v2(db);
    }
}
BENCHMARK(BM_Connect_RawSQLite)->Unit(benchmark::kMicrosecond);

void BM_Connect_Client(benchmark::State& state) {
    World& w = TheWorld();
    state.counters["file_MiB"] = static_cast<double>(std::filesystem::file_size(w.file)) / (1 << 20);
    for (auto _ : state) {
        ORBOM_CONNECTION c = 0;
        if (ORBOM_Repository_Connect(w.kernel, "Bench", &c)) std::abort();
        ORBOM_Repository_Disconnect(&c);
    }
}
BENCHMARK(BM_Connect_Client)->Unit(benchmark::kMicrosecond);

}  // namespace
