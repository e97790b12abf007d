// One publishing pass over a large discovery table, logging off: records per
// second, library calls and exchanges with the database per record (round
// trips on PostgreSQL, statements on SQLite). The servers' machines are a
// third found on the first class and name form ("Windows", the name as
// announced), a third only by IP address under "Unclassified_TCP" (the 12th
// class, third form) and a third not in the repository at all (every class
// and form is tried twice, then the creation walk fails).
//
//   bin/publish_bench [--benchmark_filter=...]
//   ORB_BENCH_PG="host=... dbname=..." bin/publish_bench   also on PostgreSQL
//
// Each run builds its own machine root, repository and table first; on
// PostgreSQL the repository is a fresh schema of the server ORB_BENCH_PG
// names (scripts/bench starts a private one), left for the server's end.
//
// bench-libs: publishpass discotable nwomapi platform
// bench-uses: KestOrb
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "backup/discotable/discotable.h"
#include "framework/nwomapi/nwomapi.h"
#include "platform/procid.h"
#include "platform/registry.h"
#include "platform/resolver.h"
#include "platform/uuid.h"
#include "publisher/DiscoveryPass.h"
#include "publisher/PublisherWorker.h"

namespace {

constexpr const char* kRepository = "pubbench";

// Nothing resolves: no DNS traffic in the figures.
class NoResolver : public orb::Resolver {
public:
    bool HostByName(const std::string&, orb::HostEntry*) override { return false; }
    bool HostByAddr(const std::string&, orb::HostEntry*) override { return false; }
};

std::string Address(int i) {
    return "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." +
           std::to_string(i % 256);
}

void AddMachine(ORBOM_CONNECTION connection, const char* cls, const std::string& name) {
    ORBOM_PROPLIST list = 0;
    ORBOM_PropertyList_Allocate(&list, 2);
    UUID uuid{};
    UuidCreate(&uuid);
    ORBOM_PropertyList_Add(list, "uuid", ORBOM_TYPE_UUID, 16, &uuid, 0);
    ORBOM_PropertyList_Add(list, "name", ORBOM_TYPE_STRING, static_cast<uint32_t>(name.size()),
                           name.c_str(), 0);
    ORBOM_Object_Create(connection, cls, list);
    ORBOM_PropertyList_Free(&list);
}

// Repository with the product's classes and the machines; the table. server:
// a PostgreSQL connection string, or empty for the SQLite file.
bool Prepare(int records, const std::string& server) {
    ORBOM_KERNEL kernel = 0;
    ORBOM_CONNECTION connection = 0;
    if (ORBOM_Kernel_Start("publish_bench", &kernel, 0) != 0) return false;
    static int schemas = 0;
    const std::string schema =
        "bench_" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++schemas);
    if (!server.empty() && ORBOM_Repository_Register(kernel, kRepository, "postgresql",
                                                     server.c_str(), schema.c_str()) != 0) {
        return false;
    }
    if (ORBOM_Repository_Create(kernel, kRepository) != 0 ||
        ORBOM_Repository_Connect(kernel, kRepository, &connection) != 0) {
        return false;
    }
    std::ifstream in(std::string(ORB_SOURCE_DIR) + "/tools/Lumora.orb");
    std::stringstream text;
    text << in.rdbuf();
    std::string classes = text.str();
    uint32_t line = 0;
    if (ORBOM_Class_Import(connection, classes.c_str(), static_cast<uint32_t>(classes.size()),
                           &line, nullptr, 0) != 0) {
        return false;
    }
    std::vector<disco::Server> servers;
    for (int i = 0; i < records; ++i) {
        disco::Server s;
        s.name = "S" + std::to_string(i);
        s.domain = "BENCH";
        s.owner = 24;
        disco::ParseAddress(Address(i), &s.address);
        s.release = 9;
        s.products = {VLB_PRODUCT_VAULTLINE};
        servers.push_back(s);
        if (i % 3 == 0) AddMachine(connection, "Windows", s.name);
        if (i % 3 == 1) AddMachine(connection, "Unclassified_TCP", Address(i));
    }
    ORBOM_Repository_Disconnect(&connection);
    ORBOM_Kernel_Stop(&kernel);
    uint32_t error = 0;
    return disco::AppendServers(disco::TablePath(), servers, &error);
}

// cache: the repository client's read cache on (the default) or off.
void PublishPass(benchmark::State& state, const std::string& server, bool cache) {
    int records = static_cast<int>(state.range(0));
    NoResolver resolver;
    orb::SetResolver(&resolver);
    for (auto _ : state) {
        state.PauseTiming();
        std::string root = (std::filesystem::temp_directory_path() /
                            ("publish_bench_" + std::to_string(GetCurrentProcessId())))
                               .string();
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root);
        setenv("ORB_MACHINE_ROOT", root.c_str(), 1);
        orb::RegSetDword("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration",
                         "Support", static_cast<DWORD>(-1));
        publisher::ForgetSupportSetting();
        if (!cache) {
            orb::RegSetDword(std::string("SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\"
                                         "Repositories\\") + kRepository,
                             "ReadCache", 0);
        }
        if (!Prepare(records, server)) {
            state.SkipWithError("repository or table not made");
            break;
        }
        publisher::PublishRun run;
        run.repositoryName = kRepository;
        publisher::CPublisherWorker worker;
        run.worker = &worker;
        uint64_t before = 0, after = 0;
        ORBOM_CACHE_STATS cacheBefore{}, cacheAfter{};
        ORBOM_Statistics_Cache(0, &cacheBefore);
        ORBOM_Statistics_Exchanges(&before);
        state.ResumeTiming();

        bool ok = publisher::PublishPass(worker, run);

        state.PauseTiming();
        ORBOM_Statistics_Exchanges(&after);
        ORBOM_Statistics_Cache(0, &cacheAfter);
        state.counters["cache_hits_per_record"] =
            static_cast<double>(cacheAfter.hits - cacheBefore.hits) / records;
        state.counters["cache_misses_per_record"] =
            static_cast<double>(cacheAfter.misses - cacheBefore.misses) / records;
        state.counters["exchanges_per_record"] =
            static_cast<double>(after - before) / records;
        if (!ok || run.processed != static_cast<uint32_t>(records)) {
            state.SkipWithError("pass failed");
        }
        state.counters["created"] = run.created;
        state.counters["calls_per_record"] =
            static_cast<double>(worker.binding.Calls()) / records;
        state.counters["records_per_s"] =
            benchmark::Counter(records, benchmark::Counter::kIsIterationInvariantRate);
        worker.binding.Release();
        std::filesystem::remove_all(root);
        state.ResumeTiming();
    }
    orb::SetResolver(nullptr);
}
void BM_PublishPass(benchmark::State& state) { PublishPass(state, "", true); }
BENCHMARK(BM_PublishPass)->Arg(300)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond)
    ->UseRealTime();
void BM_PublishPass_NoCache(benchmark::State& state) { PublishPass(state, "", false); }
BENCHMARK(BM_PublishPass_NoCache)->Arg(300)->Arg(10000)->Iterations(1)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

void PublishPassOnPostgres(benchmark::State& state, bool cache) {
    const char* server = std::getenv("ORB_BENCH_PG");
    if (!server || !*server) {
        state.SkipWithError("ORB_BENCH_PG names no PostgreSQL server (scripts/bench starts one)");
        for (auto _ : state) {
        }
        return;
    }
    PublishPass(state, server, cache);
}
void BM_PublishPass_Postgres(benchmark::State& state) { PublishPassOnPostgres(state, true); }
BENCHMARK(BM_PublishPass_Postgres)->Arg(300)->Arg(10000)->Iterations(1)
    ->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_PublishPass_Postgres_NoCache(benchmark::State& state) {
    PublishPassOnPostgres(state, false);
}
BENCHMARK(BM_PublishPass_Postgres_NoCache)->Arg(300)->Arg(10000)->Iterations(1)
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
