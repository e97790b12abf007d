// The discovery table at the size of a large site: a pass opens it and reads
// every record and its product information through the discovery library;
// the SAN view asks the discovery service once per machine.
//
// bench-libs: vlbrdcst dsload discotable
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "backup/discotable/discotable.h"
#include "backup/dsload/dsload.h"
#include "backup/vlbrdcst/vlbrdcst.h"

namespace {

// A private machine root holding a table of n servers.
class Site {
  public:
    explicit Site(int n) {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "discobench-XXXXXX").string();
        root_ = mkdtemp(pattern.data()) ? pattern : std::string();
        setenv("ORB_MACHINE_ROOT", root_.c_str(), 1);
        std::vector<disco::Server> servers(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            disco::Server& s = servers[static_cast<size_t>(i)];
            s.name = "BKSRV" + std::to_string(i);
            s.domain = "CORP";
            s.owner = i % 3 == 0 ? 85 : 24;
            s.address = {10, static_cast<uint8_t>(i >> 16), static_cast<uint8_t>(i >> 8),
                         static_cast<uint8_t>(i)};
            s.release = 9;
            s.products = {65};
        }
        uint32_t error = 0;
        disco::AppendServers(disco::TablePath(), servers, &error);
    }
    ~Site() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

  private:
    std::string root_;
};

void BM_ReadWholeTable(benchmark::State& state) {
    Site site(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        uint32_t table = 0;
        VlbOpenTable(&table, nullptr);
        DiscoveryRecord record{};
        ProductInfo info{};
        for (uint32_t i = 0; VlbReadRecord(table, i, &record) == VLB_OK; ++i) {
            VlbGetProductInfo(table, &i, record.ownerId, &record, &info);
        }
        VlbCloseTable(table);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ReadWholeTable)->Arg(10000)->Unit(benchmark::kMillisecond);

// One question as the SAN view asks it: load, snapshot, look up, unload.
void BM_AskDiscoveryService(benchmark::State& state) {
    Site site(static_cast<int>(state.range(0)));
    char name[DS_NAME_SIZE] = "BKSRV9999";
    for (auto _ : state) {
        KestDSLoad(0);
        uint32_t enumeration = 0, index = 0;
        DSInitEnumServer(&enumeration, nullptr);
        ProductInfo info{};
        benchmark::DoNotOptimize(DSTblEnumServerByProductId(enumeration, &index, 65, name, &info));
        DSDeInitEnumServer(enumeration);
        KestDSUnLoad();
    }
}
BENCHMARK(BM_AskDiscoveryService)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
