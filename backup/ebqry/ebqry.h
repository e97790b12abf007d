// "EBQRY.DLL": the backup server's query library. Programs connect to the
// local backup server, enumerate its objects (jobs, media, tape drives, ...)
// in batches of fixed-size records and read the backup history of files.
// This build answers from the server-state file in the product's home
// directory (see state.h for its format).
//
// Conventions:
//  1. Every function returns a LONG: VLV_OK (0), VLV_NO_MORE (100: the last
//     batch, or nothing left), or one of the VLV_E_* codes below. Nothing
//     throws out of the library.
//  2. A caller owns its VlvServerConnection (256 bytes, zeroed before the
//     connect) and its VlvLogonBlock (388 bytes); the library fills the
//     connection in and reads the logon block only during the call.
//  3. Batches and records handed out belong to the connection: a batch stays
//     valid until the next call of the same enumeration, history and by-id
//     records until the next such call, VlvFreeObjects or the disconnect.
//  4. Every record starts with VlvObjectHeader; its objectType selects its
//     size (VlvRecordSize) and layout. The layouts below are the wire layouts
//     of a 32-bit server: fixed offsets, little-endian, texts NUL-terminated
//     within their field, times as MS-DOS date-and-time values (local time:
//     date in the high 16 bits, time in the low 16 bits, 0 = never).
//  5. Only the built-in service logon is accepted, and only while the
//     database engine service "NWSDBEngine" is running.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

// ---- Result codes ----------------------------------------------------------
#define VLV_OK 0
#define VLV_NO_MORE 100
#define VLV_E_INVALID_PARAMETER 1001  // null pointer, bad handle, bad connection record
#define VLV_E_LOGON_DENIED 1002       // not the built-in service logon
#define VLV_E_DB_NOT_RUNNING 1003     // "NWSDBEngine" is not running
#define VLV_E_NOT_INSTALLED 1004      // no "HOME" for the product
#define VLV_E_BAD_SERVER_STATE 1005   // state file unreadable or malformed (see debug output)
#define VLV_E_NOT_CONNECTED 1006      // the connection is not (or no longer) open
#define VLV_E_ALREADY_CONNECTED 1007  // the connection record is in use
#define VLV_E_BAD_OBJECT_TYPE 1008    // an object type without records
#define VLV_E_NOT_FOUND 1009          // no object with that identifier
#define VLV_E_NO_ENUMERATION 1010     // get-next or end without a begin
#define VLV_E_UNKNOWN_SERVER 1011     // a server name other than this server's
#define VLV_E_INTERNAL 1012           // out of memory or another internal failure

// ---- Object types ----------------------------------------------------------
#define VLV_OBJ_JOB 1
#define VLV_OBJ_MEDIA 2
#define VLV_OBJ_TAPEDRIVE 7
#define VLV_OBJ_HISTORY 14
#define VLV_OBJ_MAX 14

// Record size of an object type (1 to 14); 0 for any other type.
inline size_t VlvRecordSize(int32_t type) {
    static const size_t kSizes[VLV_OBJ_MAX + 1] = {0,   200, 328, 728, 72, 168, 632, 216,
                                                   104, 504, 352, 32,  72, 32,  152};
    return type >= 1 && type <= VLV_OBJ_MAX ? kSizes[type] : 0;
}

// ---- Connection and logon --------------------------------------------------
struct VlvServerConnection {
    uint32_t magic;         // 0   VLV_CONNECTION_MAGIC while connected
    char serverName[118];   // 4   the server connected to
    int16_t connected;      // 122 1 while connected; must be 0 before a connect
    uint32_t sessionId;     // 124 the library's session number
    char databaseName[64];  // 128 the server's catalog database
    char reserved[64];      // 192
};
#define VLV_CONNECTION_MAGIC 0x434E4C56u  // "VLNC"

struct VlvLogonBlock {
    char userName[64];      // 0   interactive logons (not accepted by this server)
    char domainName[64];    // 64
    char password[64];      // 128
    char serviceUser[64];   // 192 the built-in service logon's user
    char serviceKey[132];   // 256 and its key
};
#define VLV_SERVICE_USER "_CoreSvc_"
#define VLV_SERVICE_KEY "$%kXoPzEd%$"

// ---- Records ---------------------------------------------------------------
struct VlvObjectHeader {
    int32_t objectType;  // 0
    int32_t recordSize;  // 4
    int32_t serverId;    // 8
    int32_t reserved;    // 12
};

// Object type 1: a backup job of the job queue.
struct VlvJobRecord {
    VlvObjectHeader header;
    int32_t jobId;         // 16
    int16_t jobType;       // 20 1 backup, 2 restore, 3 copy, 4 count, 5 scan, 6 merge
    int16_t jobStatus;     // 22 0 ready, 1 active, 2 hold, 3 done, 4 failed
    uint32_t submitTime;   // 24
    uint32_t lastRunTime;  // 28
    char owner[32];        // 32
    char description[100];  // 64
    char serverName[16];   // 164
    char groupName[12];    // 180 device group
    int32_t lastResult;    // 192 completion code of the last run
    int32_t reserved;      // 196
};

// Object type 2: a tape or other medium known to the media database.
struct VlvMediaRecord {
    VlvObjectHeader header;
    int32_t mediaId;        // 16
    int16_t mediaType;      // 20
    int16_t mediaStatus;    // 22 0 scratch, 1 save set, 2 offsite, 3 retired
    char tapeName[24];      // 24
    int16_t randomId;       // 48
    int16_t reserved1;      // 50
    int16_t sequenceNo;     // 52
    char reserved2[10];     // 54
    uint32_t formatTime;    // 64
    char reserved3[20];     // 68
    int32_t usageCount;     // 88
    int32_t reserved4[2];   // 92
    int32_t kbWritten;      // 100
    int32_t reserved5[3];   // 104
    int32_t writeErrors;    // 116
    int32_t reserved6[2];   // 120
    int32_t readErrors;     // 128
    int32_t reserved7;      // 132
    char serialNumber[16];  // 136
    char poolName[32];      // 152
    int16_t slotNumber;     // 184
    int16_t reserved8[2];   // 186
    int16_t generation;     // 190
    uint32_t expireTime;    // 192
    int32_t capacityMB;     // 196
    char reserved9[128];    // 200
};

// Object type 7: a tape drive of the server's device configuration.
struct VlvTapeDriveRecord {
    VlvObjectHeader header;
    int32_t driveId;          // 16
    int16_t adapterNo;        // 20
    int16_t busNo;            // 22
    int16_t scsiId;           // 24
    int16_t lun;              // 26
    int16_t driveStatus;      // 28 0 idle, 1 busy, 2 offline, 3 cleaning, 4 error
    int16_t driveType;        // 30
    char productId[18];       // 32
    char vendorId[16];        // 50
    char firmwareRev[10];     // 66
    int32_t groupNumber;      // 76
    uint32_t lastCleanTime;   // 80
    int32_t blockSize;        // 84
    int32_t compression;      // 88
    int32_t mbWritten;        // 92
    int32_t readErrors;       // 96
    int32_t writeErrors;      // 100
    int32_t reserved1;        // 104
    char loadedMedia[84];     // 108
    int32_t hoursSinceClean;  // 192
    char reserved2[20];       // 196
};

// Object type 14: one backup of one file.
struct VlvHistoryRecord {
    VlvObjectHeader header;
    int32_t sessionNo;   // 16
    int32_t jobId;       // 20
    char tapeName[24];   // 24
    int32_t fileSizeKB;  // 48
    int32_t sequenceNo;  // 52
    int32_t mediaId;     // 56
    int32_t reserved;    // 60
    uint32_t startTime;  // 64
    uint32_t endTime;    // 68
    char fileName[80];   // 72
};

// A server as the server enumerations report it.
struct VlvServerInfo {
    char serverName[64];
    char domainName[64];
    char productVersion[32];
    int32_t status;  // 1 running (this build lists only the local server)
};

static_assert(sizeof(VlvServerConnection) == 256 && offsetof(VlvServerConnection, serverName) == 4 &&
              offsetof(VlvServerConnection, connected) == 122);
static_assert(sizeof(VlvLogonBlock) == 388 && offsetof(VlvLogonBlock, serviceUser) == 192 &&
              offsetof(VlvLogonBlock, serviceKey) == 256);
static_assert(sizeof(VlvJobRecord) == 200 && offsetof(VlvJobRecord, jobId) == 16 &&
              offsetof(VlvJobRecord, submitTime) == 24 && offsetof(VlvJobRecord, owner) == 32 &&
              offsetof(VlvJobRecord, description) == 64 &&
              offsetof(VlvJobRecord, serverName) == 164 &&
              offsetof(VlvJobRecord, groupName) == 180 && offsetof(VlvJobRecord, lastResult) == 192);
static_assert(sizeof(VlvMediaRecord) == 328 && offsetof(VlvMediaRecord, tapeName) == 24 &&
              offsetof(VlvMediaRecord, randomId) == 48 && offsetof(VlvMediaRecord, sequenceNo) == 52 &&
              offsetof(VlvMediaRecord, formatTime) == 64 && offsetof(VlvMediaRecord, usageCount) == 88 &&
              offsetof(VlvMediaRecord, kbWritten) == 100 &&
              offsetof(VlvMediaRecord, writeErrors) == 116 &&
              offsetof(VlvMediaRecord, readErrors) == 128 &&
              offsetof(VlvMediaRecord, serialNumber) == 136 &&
              offsetof(VlvMediaRecord, poolName) == 152 && offsetof(VlvMediaRecord, slotNumber) == 184 &&
              offsetof(VlvMediaRecord, generation) == 190 &&
              offsetof(VlvMediaRecord, expireTime) == 192 &&
              offsetof(VlvMediaRecord, capacityMB) == 196);
static_assert(sizeof(VlvTapeDriveRecord) == 216 && offsetof(VlvTapeDriveRecord, adapterNo) == 20 &&
              offsetof(VlvTapeDriveRecord, driveType) == 30 &&
              offsetof(VlvTapeDriveRecord, productId) == 32 &&
              offsetof(VlvTapeDriveRecord, vendorId) == 50 &&
              offsetof(VlvTapeDriveRecord, firmwareRev) == 66 &&
              offsetof(VlvTapeDriveRecord, groupNumber) == 76 &&
              offsetof(VlvTapeDriveRecord, lastCleanTime) == 80 &&
              offsetof(VlvTapeDriveRecord, blockSize) == 84 &&
              offsetof(VlvTapeDriveRecord, compression) == 88 &&
              offsetof(VlvTapeDriveRecord, mbWritten) == 92 &&
              offsetof(VlvTapeDriveRecord, writeErrors) == 100 &&
              offsetof(VlvTapeDriveRecord, loadedMedia) == 108 &&
              offsetof(VlvTapeDriveRecord, hoursSinceClean) == 192);
static_assert(sizeof(VlvHistoryRecord) == 152 && offsetof(VlvHistoryRecord, startTime) == 64);

// ---- Exports ---------------------------------------------------------------
// The names programs bind with GetProcAddress, and their shapes.
extern "C" {

// Servers: only the local backup server is known.
LONG VlvBeginEnumServers(LPVOID* enumHandle);
LONG VlvGetNextEnumServer(LPVOID enumHandle, LPSTR serverName, DWORD size);
LONG VlvEndEnumServers(LPVOID enumHandle);
// domainName null or empty: any domain.
LONG VlvBeginEnumServersEB(LPCSTR domainName, LPVOID* enumHandle);
LONG VlvGetNextEnumServerEB(LPVOID enumHandle, VlvServerInfo* info);
LONG VlvEndEnumServersEB(LPVOID enumHandle);

// Connections. server null or empty: the local server. VlvConnectServer takes
// the service logon's user and key as texts.
LONG VlvConnectServer(LPCSTR server, LPCSTR user, LPCSTR password, VlvServerConnection* connection);
LONG VlvDisconnectServer(VlvServerConnection* connection);
LONG VlvConnectServerEB(LPCSTR server, VlvLogonBlock* logon, VlvServerConnection* connection);
LONG VlvDisconnectServerEB(LPCSTR server, VlvLogonBlock* logon, VlvServerConnection* connection);

// Objects of one type, in batches: VLV_OK a batch and more may follow,
// VLV_NO_MORE the last batch (possibly empty). selector is reserved (0).
LONG VlvBeginEnumObject(VlvServerConnection* connection, LONG type, LONG selector, LPVOID* batch,
                        DWORD* count);
LONG VlvGetNextEnumObject(VlvServerConnection* connection, LONG type, LONG selector, LPVOID* batch,
                          DWORD* count);
LONG VlvEndEnumObject(VlvServerConnection* connection, LONG type, LONG selector, LPVOID* batch,
                      DWORD* count);
// Objects of `type` below the object `parentId`: the history records
// (type 14) of a job; every other pairing has none.
LONG VlvBeginEnumNextLevelObject(VlvServerConnection* connection, LONG type, LONG parentId,
                                 LPVOID* batch, DWORD* count);
LONG VlvGetNextEnumNextLevelObject(VlvServerConnection* connection, LONG type, LONG parentId,
                                   LPVOID* batch, DWORD* count);
LONG VlvEndEnumNextLevelObject(VlvServerConnection* connection, LONG type, LONG parentId,
                               LPVOID* batch, DWORD* count);
// The first object of `type` with identifier `id` (the 32-bit field at offset 16).
LONG VlvGetObjectByID(VlvServerConnection* connection, LONG type, LONG id, LPVOID* record);
// Releases records handed out by VlvGetObjectByID or the history call early.
LONG VlvFreeObjects(LPVOID objects);
// Every backup of the file `fileName` in `directory` (letter case and the
// separator "\\" or "/" do not matter); level and flags are reserved.
LONG VlvGetBackupHistoryByFilename(VlvServerConnection* connection, LONG level, LPCSTR directory,
                                   LPCSTR fileName, LONG flags, LPVOID* records, DWORD* count);

}  // extern "C"

// Function-pointer shapes for programs that load the library by name.
typedef LONG (*VLVENUMSERVERSBEGIN)(LPVOID*);
typedef LONG (*VLVENUMSERVERSNEXT)(LPVOID, LPSTR, DWORD);
typedef LONG (*VLVENUMSERVERSEND)(LPVOID);
typedef LONG (*VLVCONNECTEB)(LPCSTR, VlvLogonBlock*, VlvServerConnection*);
typedef LONG (*VLVDISCONNECTEB)(LPCSTR, VlvLogonBlock*, VlvServerConnection*);
typedef LONG (*VLVENUMOBJECT)(VlvServerConnection*, LONG, LONG, LPVOID*, DWORD*);
typedef LONG (*VLVGETHISTORY)(VlvServerConnection*, LONG, LPCSTR, LPCSTR, LONG, LPVOID*, DWORD*);
