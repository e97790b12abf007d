// Registry throughput on a private machine root: the costs callers pay per
// call (each call is one SQLite transaction).
//
// bench-libs: platform
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/registry.h"

namespace {

// One machine root for the whole run, removed at exit.
class BenchRoot {
  public:
    BenchRoot() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "orb-regbench-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : "";
        setenv("ORB_MACHINE_ROOT", path_.c_str(), 1);
    }
    ~BenchRoot() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }

  private:
    std::string path_;
};
BenchRoot g_root;

const char* const kKey = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration";

HKEY OpenBenchKey() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    return key;
}

void BM_SetDword(benchmark::State& state) {
    HKEY key = OpenBenchKey();
    DWORD value = 0;
    for (auto _ : state) {
        ++value;
        RegSetValueExA(key, "Counter", 0, REG_DWORD, reinterpret_cast<BYTE*>(&value), 4);
    }
    RegCloseKey(key);
}
BENCHMARK(BM_SetDword);

void BM_QueryString(benchmark::State& state) {
    HKEY key = OpenBenchKey();
    const char text[] = "C:\\Vaultline\\logs";
    RegSetValueExA(key, "LOG", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    char buffer[256];
    for (auto _ : state) {
        DWORD size = sizeof buffer;
        benchmark::DoNotOptimize(
            RegQueryValueExA(key, "log", nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size));
    }
    RegCloseKey(key);
}
BENCHMARK(BM_QueryString);

// The path walk from HKLM on every call, as the convenience reads do.
void BM_GetDwordByPath(benchmark::State& state) {
    orb::RegSetDword(kKey, "Support", 0xFFFFFFFFu);
    for (auto _ : state) {
        DWORD value = 0;
        benchmark::DoNotOptimize(orb::RegGetDword(kKey, "Support", &value));
    }
}
BENCHMARK(BM_GetDwordByPath);

void BM_EnumerateValues(benchmark::State& state) {
    const std::string key = std::string(kKey) + "\\Many" + std::to_string(state.range(0));
    for (int i = 0; i < state.range(0); ++i) orb::RegSetDword(key, "v" + std::to_string(i), i);
    for (auto _ : state) {
        std::vector<orb::RegValue> values;
        benchmark::DoNotOptimize(orb::RegReadValues(key, &values));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EnumerateValues)->Arg(10)->Arg(1000);

}  // namespace
