#include "backup/ebqry/ebqry.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/debug.h"
#include "platform/dynload.h"
#include "platform/registry.h"
#include "platform/scm.h"
#include "tests/platform/bin_dir.h"
#include "tests/platform/scratch_dir.h"

namespace {

int32_t I32(const uint8_t* record, size_t offset) {
    int32_t v;
    std::memcpy(&v, record + offset, sizeof v);
    return v;
}
int16_t I16(const uint8_t* record, size_t offset) {
    int16_t v;
    std::memcpy(&v, record + offset, sizeof v);
    return v;
}
std::string Text(const uint8_t* record, size_t offset) {
    return reinterpret_cast<const char*>(record + offset);
}
constexpr uint32_t Dos(int y, int mo, int d, int h, int mi, int s) {
    return (uint32_t(y - 1980) << 25) | (uint32_t(mo) << 21) | (uint32_t(d) << 16) |
           (uint32_t(h) << 11) | (uint32_t(mi) << 5) | uint32_t(s / 2);
}

VlvLogonBlock ServiceLogon() {
    VlvLogonBlock logon{};
    std::strcpy(logon.serviceUser, "_CoreSvc_");
    std::strcpy(logon.serviceKey, "$%kXoPzEd%$");
    return logon;
}

// A machine with the product installed, its database engine running and a
// server-state file the test writes.
class BackupServer : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(home_);
        ASSERT_EQ(orb::RegSetString("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path",
                                    "HOME", home_),
                  ERROR_SUCCESS);
        SetDatabaseEngine(true);
    }
    void TearDown() override {
        for (VlvServerConnection& c : connections_)
            if (c.connected) VlvDisconnectServer(&c);
        orb::SetDebugSink(nullptr);
    }

    void SetDatabaseEngine(bool running) {
        SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        SC_HANDLE service = OpenServiceA(manager, "NWSDBEngine", SERVICE_ALL_ACCESS);
        if (service == nullptr) {
            service = CreateServiceA(manager, "NWSDBEngine", nullptr, SERVICE_ALL_ACCESS, 0, 3, 1,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
            orb::RegSetDword("SYSTEM\\CurrentControlSet\\Services\\NWSDBEngine", "TransitionDelay", 0);
        }
        SERVICE_STATUS status;
        if (running)
            StartServiceA(service, 0, nullptr);
        else
            ControlService(service, SERVICE_CONTROL_STOP, &status);
        CloseServiceHandle(service);
        CloseServiceHandle(manager);
    }

    void WriteState(const std::string& json) { std::ofstream(home_ + "/ServerState.json") << json; }

    VlvServerConnection* Connect() {
        connections_.emplace_back();
        VlvServerConnection* c = &connections_.back();
        VlvLogonBlock logon = ServiceLogon();
        EXPECT_EQ(VlvConnectServerEB("", &logon, c), VLV_OK);
        return c;
    }

    // All records of one type, one batch at a time; the codes of each call.
    std::vector<std::vector<int32_t>> Batches(VlvServerConnection* c, LONG type,
                                              std::vector<LONG>* codes) {
        std::vector<std::vector<int32_t>> batches;
        LPVOID batch = nullptr;
        DWORD count = 0;
        LONG rc = VlvBeginEnumObject(c, type, 0, &batch, &count);
        for (int guard = 0; guard < 100; ++guard) {
            codes->push_back(rc);
            if (rc != VLV_OK && rc != VLV_NO_MORE) break;
            std::vector<int32_t> ids;
            for (DWORD i = 0; i < count; ++i)
                ids.push_back(I32(static_cast<uint8_t*>(batch) + i * VlvRecordSize(type), 16));
            batches.push_back(ids);
            if (rc == VLV_NO_MORE) break;
            rc = VlvGetNextEnumObject(c, type, 0, &batch, &count);
        }
        EXPECT_EQ(VlvEndEnumObject(c, type, 0, &batch, &count), VLV_OK);
        return batches;
    }

    orbtest::ScratchDir root_;
    orbtest::ScopedEnv rootEnv_{"ORB_MACHINE_ROOT", root_.path()};
    orbtest::ScopedEnv backendEnv_{"ORB_SERVICE_BACKEND", "simulated"};
    std::string home_ = root_ / "Vaultline";
    std::deque<VlvServerConnection> connections_;
};

TEST_F(BackupServer, RecordsHoldEachFieldAtItsOffsetAndEncoding) {
    WriteState(R"({
      "jobs": [{"jobId": 7, "jobType": -2, "jobStatus": 3, "submitTime": "2008-04-29 09:05:07",
                "lastRunTime": "2008-05-01T23:59:58", "owner": "caroot",
                "description": "Nightly full", "serverName": "VAULT01", "groupName": "GROUP0",
                "lastResult": -5}],
      "media": [{"mediaId": 11, "tapeName": "WEEKLY-01", "randomId": 4660, "sequenceNo": 2,
                 "usageCount": 88, "kbWritten": 100, "writeErrors": 116, "readErrors": 128,
                 "serialNumber": "SN136", "poolName": "POOL152", "slotNumber": 184,
                 "generation": 190, "expireTime": "2009-01-01 00:00:00", "capacityMB": 196}],
      "tapeDrives": [{"driveId": 3, "adapterNo": 20, "lun": 26, "driveType": 30,
                      "productId": "ULTRIUM-TD4", "vendorId": "VENDOR50", "firmwareRev": "B66",
                      "groupNumber": 76, "compression": 88, "mbWritten": 92, "writeErrors": 100,
                      "loadedMedia": "WEEKLY-01", "hoursSinceClean": 192}]
    })");
    VlvServerConnection* c = Connect();
    LPVOID batch;
    DWORD count;
    ASSERT_EQ(VlvBeginEnumObject(c, VLV_OBJ_JOB, 0, &batch, &count), VLV_NO_MORE);
    ASSERT_EQ(count, 1u);
    auto* job = static_cast<const uint8_t*>(batch);
    EXPECT_EQ(I32(job, 0), 1);
    EXPECT_EQ(I32(job, 4), 200);
    EXPECT_EQ(I32(job, 16), 7);
    EXPECT_EQ(I16(job, 20), -2);
    EXPECT_EQ(I16(job, 22), 3);
    EXPECT_EQ(static_cast<uint32_t>(I32(job, 24)), Dos(2008, 4, 29, 9, 5, 6));
    EXPECT_EQ(static_cast<uint32_t>(I32(job, 28)), Dos(2008, 5, 1, 23, 59, 58));
    EXPECT_EQ(Text(job, 32), "caroot");
    EXPECT_EQ(Text(job, 64), "Nightly full");
    EXPECT_EQ(Text(job, 164), "VAULT01");
    EXPECT_EQ(Text(job, 180), "GROUP0");
    EXPECT_EQ(I32(job, 192), -5);

    ASSERT_EQ(VlvBeginEnumObject(c, VLV_OBJ_MEDIA, 0, &batch, &count), VLV_NO_MORE);
    auto* media = static_cast<const uint8_t*>(batch);
    EXPECT_EQ(I32(media, 4), 328);
    EXPECT_EQ(Text(media, 24), "WEEKLY-01");
    EXPECT_EQ(I16(media, 48), 4660);
    EXPECT_EQ(I16(media, 52), 2);
    for (size_t offset : {88, 100, 116, 128, 196}) EXPECT_EQ(I32(media, offset), int(offset));
    EXPECT_EQ(Text(media, 136), "SN136");
    EXPECT_EQ(Text(media, 152), "POOL152");
    EXPECT_EQ(I16(media, 184), 184);
    EXPECT_EQ(I16(media, 190), 190);
    EXPECT_EQ(static_cast<uint32_t>(I32(media, 192)), Dos(2009, 1, 1, 0, 0, 0));

    ASSERT_EQ(VlvBeginEnumObject(c, VLV_OBJ_TAPEDRIVE, 0, &batch, &count), VLV_NO_MORE);
    auto* drive = static_cast<const uint8_t*>(batch);
    EXPECT_EQ(I32(drive, 4), 216);
    for (size_t offset : {20, 26, 30}) EXPECT_EQ(I16(drive, offset), int(offset));
    EXPECT_EQ(Text(drive, 32), "ULTRIUM-TD4");
    EXPECT_EQ(Text(drive, 50), "VENDOR50");
    EXPECT_EQ(Text(drive, 66), "B66");
    for (size_t offset : {76, 88, 92, 100, 192}) EXPECT_EQ(I32(drive, offset), int(offset));
    EXPECT_EQ(Text(drive, 108), "WEEKLY-01");
}

TEST_F(BackupServer, EnumerationCrossesBatchBoundariesAndKeepsDuplicates) {
    WriteState(R"({"server": {"batchSize": 3},
                   "jobs": [{"jobId": 1}, {"jobId": 2}, {"jobId": 3}, {"jobId": 4},
                            {"jobId": 5}, {"jobId": 6}, {"jobId": 7}],
                   "media": [{"mediaId": 1}, {"mediaId": 2}, {"mediaId": 3},
                             {"mediaId": 4}, {"mediaId": 5}, {"mediaId": 6}],
                   "tapeDrives": [{"driveId": 7}, {"driveId": 9}, {"driveId": 7}]})");
    VlvServerConnection* c = Connect();
    std::vector<LONG> codes;
    using Ids = std::vector<std::vector<int32_t>>;
    EXPECT_EQ(Batches(c, VLV_OBJ_JOB, &codes), (Ids{{1, 2, 3}, {4, 5, 6}, {7}}));
    EXPECT_EQ(codes, (std::vector<LONG>{VLV_OK, VLV_OK, VLV_NO_MORE}));

    codes.clear();  // an exact multiple ends on a full batch
    EXPECT_EQ(Batches(c, VLV_OBJ_MEDIA, &codes), (Ids{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(codes, (std::vector<LONG>{VLV_OK, VLV_NO_MORE}));

    codes.clear();  // the server hands identifiers out as it holds them
    EXPECT_EQ(Batches(c, VLV_OBJ_TAPEDRIVE, &codes), (Ids{{7, 9, 7}}));

    codes.clear();  // a type the server holds none of
    EXPECT_EQ(Batches(c, 5, &codes), (Ids{{}}));
    EXPECT_EQ(codes, (std::vector<LONG>{VLV_NO_MORE}));

    LPVOID batch;
    DWORD count;
    EXPECT_EQ(VlvBeginEnumObject(c, 15, 0, &batch, &count), VLV_E_BAD_OBJECT_TYPE);
    EXPECT_EQ(VlvGetNextEnumObject(c, VLV_OBJ_JOB, 0, &batch, &count), VLV_E_NO_ENUMERATION);
}

TEST_F(BackupServer, ConnectNeedsTheRunningDatabaseEngineAndTheServiceLogon) {
    WriteState("{}");
    VlvServerConnection c{};
    VlvLogonBlock logon = ServiceLogon();
    SetDatabaseEngine(false);
    EXPECT_EQ(VlvConnectServerEB("", &logon, &c), VLV_E_DB_NOT_RUNNING);
    SetDatabaseEngine(true);

    VlvLogonBlock wrong = ServiceLogon();
    std::strcpy(wrong.serviceKey, "$%kXoPzEd%");
    EXPECT_EQ(VlvConnectServerEB("", &wrong, &c), VLV_E_LOGON_DENIED);
    VlvLogonBlock unterminated = ServiceLogon();
    std::memset(unterminated.serviceKey, 'x', sizeof unterminated.serviceKey);
    std::strcpy(unterminated.serviceKey, "$%kXoPzEd%$");
    unterminated.serviceKey[11] = 'x';
    EXPECT_EQ(VlvConnectServerEB("", &unterminated, &c), VLV_E_LOGON_DENIED);
    EXPECT_EQ(VlvConnectServer("", "_CoreSvc_", "guess", &c), VLV_E_LOGON_DENIED);
    EXPECT_EQ(VlvConnectServerEB("OTHERHOST", &logon, &c), VLV_E_UNKNOWN_SERVER);
    EXPECT_EQ(c.connected, 0);

    ASSERT_EQ(VlvConnectServerEB("", &logon, &c), VLV_OK);
    EXPECT_EQ(c.connected, 1);
    EXPECT_EQ(VlvConnectServerEB("", &logon, &c), VLV_E_ALREADY_CONNECTED);
    std::string server = c.serverName;
    VlvLogonBlock zero{};
    EXPECT_EQ(VlvDisconnectServerEB(server.c_str(), &zero, &c), VLV_OK);
    LPVOID batch;
    DWORD count;
    EXPECT_EQ(VlvBeginEnumObject(&c, VLV_OBJ_JOB, 0, &batch, &count), VLV_E_NOT_CONNECTED);
    EXPECT_EQ(VlvDisconnectServerEB(server.c_str(), &zero, &c), VLV_E_NOT_CONNECTED);
    EXPECT_EQ(VlvConnectServer(server.c_str(), "_CoreSvc_", "$%kXoPzEd%$", &c), VLV_OK);
    EXPECT_EQ(VlvDisconnectServer(&c), VLV_OK);
}

TEST_F(BackupServer, HistoryOfAFileMatchesWithoutCaseOrSeparatorDifferences) {
    WriteState(R"({"history": [
        {"path": "C:\\data\\a.txt", "startTime": "2026-05-01 10:00:00", "jobId": 7},
        {"path": "C:\\data\\b.txt", "startTime": "2026-05-02 10:00:00", "jobId": 7},
        {"path": "c:/DATA/A.TXT", "startTime": "2026-05-03 10:00:00", "jobId": 8}]})");
    VlvServerConnection* c = Connect();
    LPVOID records;
    DWORD count;
    ASSERT_EQ(VlvGetBackupHistoryByFilename(c, 7, "C:\\data\\", "a.txt", 0, &records, &count), VLV_OK);
    ASSERT_EQ(count, 2u);
    auto* r = static_cast<const uint8_t*>(records);
    EXPECT_EQ(static_cast<uint32_t>(I32(r, 64)), Dos(2026, 5, 1, 10, 0, 0));
    EXPECT_EQ(static_cast<uint32_t>(I32(r + 152, 64)), Dos(2026, 5, 3, 10, 0, 0));
    EXPECT_EQ(Text(r, 72), "a.txt");
    EXPECT_EQ(VlvFreeObjects(records), VLV_OK);
    EXPECT_EQ(VlvFreeObjects(records), VLV_E_INVALID_PARAMETER);

    ASSERT_EQ(VlvGetBackupHistoryByFilename(c, 7, "", "C:/data/a.txt", 0, &records, &count), VLV_OK);
    EXPECT_EQ(count, 2u);
    ASSERT_EQ(VlvGetBackupHistoryByFilename(c, 7, "C:\\data", "never.txt", 0, &records, &count), VLV_OK);
    EXPECT_EQ(count, 0u);

    // The next-level objects of a job are its backups.
    ASSERT_EQ(VlvBeginEnumNextLevelObject(c, VLV_OBJ_HISTORY, 7, &records, &count), VLV_NO_MORE);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(VlvEndEnumNextLevelObject(c, VLV_OBJ_HISTORY, 7, &records, &count), VLV_OK);
    ASSERT_EQ(VlvGetObjectByID(c, VLV_OBJ_HISTORY, 0, &records), VLV_OK);
    EXPECT_EQ(VlvGetObjectByID(c, VLV_OBJ_JOB, 7, &records), VLV_E_NOT_FOUND);
}

TEST_F(BackupServer, AFaultyStateFileRefusesTheConnectAndNamesTheField) {
    std::string lines;
    orb::SetDebugSink([&](const std::string& line) { lines += line; });
    VlvServerConnection c{};
    VlvLogonBlock logon = ServiceLogon();
    const std::pair<const char*, const char*> faults[] = {
        {R"({"jobs": [{"jobId": 1}, {"owner": "an owner name longer than thirty-one"}]})",
         "jobs[1].owner"},
        {R"({"media": [{"mediaId": 1, "colour": "red"}]})", "media[0].colour"},
        {R"({"tapeDrives": [{"scsiId": 40000}]})", "tapeDrives[0].scsiId"},
        {R"({"history": [{"path": "C:\\a.txt", "startTime": "yesterday"}]})", "history[0].startTime"},
        {R"({"jobs": [)", "ServerState.json"},
    };
    for (const auto& [json, field] : faults) {
        WriteState(json);
        lines.clear();
        EXPECT_EQ(VlvConnectServerEB("", &logon, &c), VLV_E_BAD_SERVER_STATE) << json;
        EXPECT_NE(lines.find(field), std::string::npos) << lines;
    }

    std::filesystem::remove(home_ + "/ServerState.json");  // a server without data
    ASSERT_EQ(VlvConnectServerEB("", &logon, &c), VLV_OK);
    VlvDisconnectServer(&c);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\NorwindSystems");
    EXPECT_EQ(VlvConnectServerEB("", &logon, &c), VLV_E_NOT_INSTALLED);
}

TEST_F(BackupServer, TheSampleServerLoads) {
    std::filesystem::copy_file(orbtest::BinDir() + "/ebqry-sample-state.json",
                               home_ + "/ServerState.json");
    VlvServerConnection* c = Connect();
    std::vector<LONG> codes;
    EXPECT_EQ(Batches(c, VLV_OBJ_JOB, &codes).front().size(), 3u);
    EXPECT_STREQ(c->serverName, "VAULT01");
}

TEST_F(BackupServer, LoadedByNameItOffersAllNineteenNamesAndListsThisServer) {
    WriteState(R"({"server": {"name": "VAULT01", "domain": "VAULTDOM"}})");
    HMODULE library = LoadLibraryA("EBQRY.DLL");
    ASSERT_NE(library, nullptr);
    for (const char* name :
         {"VlvBeginEnumServers", "VlvGetNextEnumServer", "VlvEndEnumServers", "VlvConnectServer",
          "VlvDisconnectServer", "VlvBeginEnumServersEB", "VlvGetNextEnumServerEB",
          "VlvEndEnumServersEB", "VlvConnectServerEB", "VlvDisconnectServerEB",
          "VlvBeginEnumObject", "VlvGetNextEnumObject", "VlvEndEnumObject",
          "VlvBeginEnumNextLevelObject", "VlvGetNextEnumNextLevelObject",
          "VlvEndEnumNextLevelObject", "VlvGetObjectByID", "VlvFreeObjects",
          "VlvGetBackupHistoryByFilename"})
        EXPECT_NE(GetProcAddress(library, name), nullptr) << name;
    FreeLibrary(library);

    LPVOID e = nullptr;
    char name[8];
    ASSERT_EQ(VlvBeginEnumServers(&e), VLV_OK);
    EXPECT_EQ(VlvGetNextEnumServer(e, name, sizeof name), VLV_OK);
    EXPECT_STREQ(name, "VAULT01");
    EXPECT_EQ(VlvGetNextEnumServer(e, name, sizeof name), VLV_NO_MORE);
    EXPECT_EQ(VlvEndEnumServers(e), VLV_OK);
    VlvServerInfo info;
    ASSERT_EQ(VlvBeginEnumServersEB("OTHERDOM", &e), VLV_OK);
    EXPECT_EQ(VlvGetNextEnumServerEB(e, &info), VLV_NO_MORE);
    EXPECT_EQ(VlvEndEnumServersEB(e), VLV_OK);
}

}  // namespace
