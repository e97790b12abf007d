// The query library's costs as the agent pays them: one connect (which reads
// the whole server-state file) plus one full enumeration per collection, and
// one connect plus one history look-up per watcher check, on a server with
// 10,000 jobs and 10,000 history records.
//
// bench-libs: EBQRY platform
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "backup/ebqry/ebqry.h"
#include "platform/registry.h"
#include "platform/scm.h"

namespace {

constexpr int kObjects = 10000;

// A machine root with a running database engine and a large server, removed at exit.
class BenchServer {
public:
    BenchServer() {
        std::string pattern = (std::filesystem::temp_directory_path() / "orb-ebqry-XXXXXX").string();
        root_ = mkdtemp(pattern.data()) ? pattern : "";
        setenv("ORB_MACHINE_ROOT", root_.c_str(), 1);
        setenv("ORB_SERVICE_BACKEND", "simulated", 1);
        std::string home = root_ + "/Vaultline";
        std::filesystem::create_directories(home);
        orb::RegSetString("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path", "HOME", home);
        StartDatabaseEngine();
        std::ofstream state(home + "/ServerState.json");
        state << "{\"jobs\": [";
        for (int i = 0; i < kObjects; ++i)
            state << (i ? "," : "") << "{\"jobId\": " << i
                  << ", \"submitTime\": \"now-1d\", \"owner\": \"caroot\", \"description\": "
                     "\"Nightly full backup\", \"groupName\": \"GROUP0\"}";
        state << "], \"history\": [";
        for (int i = 0; i < kObjects; ++i)
            state << (i ? "," : "") << "{\"path\": \"C:\\\\data\\\\file" << i % 100
                  << ".txt\", \"startTime\": \"now-" << i << "m\", \"jobId\": " << i % 50 << "}";
        state << "]}";
    }
    ~BenchServer() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

private:
    static void StartDatabaseEngine() {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE service = CreateServiceA(manager, "NWSDBEngine", nullptr, SERVICE_ALL_ACCESS, 0, 3,
                                           1, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        orb::RegSetDword("SYSTEM\\CurrentControlSet\\Services\\NWSDBEngine", "TransitionDelay", 0);
        StartServiceA(service, 0, nullptr);
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
    }
    std::string root_;
};
BenchServer g_server;

VlvLogonBlock Logon() {
    VlvLogonBlock logon{};
    std::strcpy(logon.serviceUser, VLV_SERVICE_USER);
    std::strcpy(logon.serviceKey, VLV_SERVICE_KEY);
    return logon;
}

void BM_CollectAllJobs(benchmark::State& state) {
    VlvLogonBlock logon = Logon();
    for (auto _ : state) {
        VlvServerConnection c{};
        if (VlvConnectServerEB("", &logon, &c) != VLV_OK) state.SkipWithError("connect");
        LPVOID batch;
        DWORD count;
        size_t seen = 0;
        LONG rc = VlvBeginEnumObject(&c, VLV_OBJ_JOB, 0, &batch, &count);
        for (seen += count; rc == VLV_OK; seen += count)
            rc = VlvGetNextEnumObject(&c, VLV_OBJ_JOB, 0, &batch, &count);
        VlvEndEnumObject(&c, VLV_OBJ_JOB, 0, &batch, &count);
        VlvDisconnectServer(&c);
        benchmark::DoNotOptimize(seen);
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_CollectAllJobs)->Unit(benchmark::kMillisecond);

void BM_CheckOneFile(benchmark::State& state) {
    VlvLogonBlock logon = Logon();
    for (auto _ : state) {
        VlvServerConnection c{};
        VlvConnectServerEB("", &logon, &c);
        LPVOID records;
        DWORD count = 0;
        VlvGetBackupHistoryByFilename(&c, 7, "C:\\data", "file42.txt", 0, &records, &count);
        VlvDisconnectServer(&c);
        benchmark::DoNotOptimize(count);
    }
}
BENCHMARK(BM_CheckOneFile)->Unit(benchmark::kMillisecond);

}  // namespace
