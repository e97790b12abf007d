// Costs of the platform calls the system makes often: an INI read (the file
// is read on every call), an INI write (lock, rewrite, rename), finding a
// library by its Windows name, an event round trip between two threads, and
// splitting a command line.
//
// bench-libs: platform
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/dynload.h"
#include "platform/ini.h"
#include "platform/process.h"
#include "platform/sync.h"

namespace {

// A launcher INI of 200 host sections in a private directory.
class BenchIni {
public:
    BenchIni() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orb-platbench-XXXXXX").string();
        dir_ = mkdtemp(pattern.data()) ? pattern : ".";
        path_ = dir_ + "/ksuxgo.ini";
        std::ofstream out(path_);
        out << "[Default]\nType=http\nCmdLine=http://$hostName:6060\n";
        for (int i = 0; i < 200; ++i) out << "\n[vault" << i << "]\nType=telnet\nCmdLine=x\n";
    }
    ~BenchIni() {
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }
    const char* path() const { return path_.c_str(); }

private:
    std::string dir_, path_;
};
BenchIni g_ini;

void BM_IniReadLastSection(benchmark::State& state) {
    char buffer[260];
    for (auto _ : state) {
        GetPrivateProfileStringA("VAULT199", "cmdline", "...", buffer, sizeof(buffer), g_ini.path());
        benchmark::DoNotOptimize(buffer);
    }
}
BENCHMARK(BM_IniReadLastSection);

void BM_IniWrite(benchmark::State& state) {
    int i = 0;
    for (auto _ : state) {
        std::string value = std::to_string(i++);
        WritePrivateProfileStringA("vault100", "Counter", value.c_str(), g_ini.path());
    }
}
BENCHMARK(BM_IniWrite);

void BM_FindLibraryBesideProgram(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(orb::FindLibrary("ORBDYNPROBE.DLL"));
}
BENCHMARK(BM_FindLibraryBesideProgram);

void BM_FindLibraryMissing(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(orb::FindLibrary("NoSuchLibrary.DLL"));
}
BENCHMARK(BM_FindLibraryMissing);

void BM_EventRoundTrip(benchmark::State& state) {
    orb::Event ping, pong;
    bool stop = false;
    orb::Thread echo([&] {
        for (;;) {
            ping.Wait();
            if (stop) return;
            pong.Set();
        }
    });
    for (auto _ : state) {
        ping.Set();
        pong.Wait();
    }
    stop = true;
    ping.Set();
}
BENCHMARK(BM_EventRoundTrip);

void BM_SplitCommandLine(benchmark::State& state) {
    const std::string line = "QUILL.EXE /q /g /x  \"/opt/orb/bin/Lumora.orb\" a\\\\\"b c\" d";
    for (auto _ : state) benchmark::DoNotOptimize(orb::SplitCommandLine(line));
}
BENCHMARK(BM_SplitCommandLine);

}  // namespace
