// The agent's side of the backup-server query library: one connection per
// collection or check, opened and closed under the connection lock, objects
// enumerated in batches of fixed-size records, and the age of a file's
// newest backup rated against two limits.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/win32.h"

// The record the library fills in on connect (256 bytes). Zeroed before the
// connect, so the server-name text at offset 4 is empty.
inline constexpr size_t kServerConnectionSize = 256;
struct ServerConnection {
    BYTE bytes[kServerConnectionSize];
};

// The parameter block of the connect call (388 bytes): zero but for the
// built-in logon texts with which the agent identifies itself.
inline constexpr size_t kLogonBlockSize = 388;
inline constexpr size_t kLogonUserOffset = 192;
inline constexpr size_t kLogonKeyOffset = 256;
struct LogonBlock {
    BYTE bytes[kLogonBlockSize];
};
void buildLogonBlock(LogonBlock* logon);

// Codes of the routines below besides the library's own.
inline constexpr int kLebNotInitialized = 101;  // also: an enumeration call failed

// Ratings of lebCheckBackupDate; any other status is a connect code.
inline constexpr int kBackupOk = 1;
inline constexpr int kBackupWarning = 2;
inline constexpr int kBackupCritical = 3;

// Record size of an object type; 0 for a type without records.
size_t lebRecordSize(int32_t objectType);

// *code 0 and a new connection (free it with disconnectServer), else 101
// when the library is not initialised or the library's connect code.
void connectServer(ServerConnection** connection, int* code);
// Closes and frees the connection; *code 0.
void disconnectServer(ServerConnection* connection, int* code);

// Called once per record, in the library's order; the record is valid only
// during the call.
typedef int (*LebRecordCallback)(int32_t objectType, const BYTE* record);
// *code 0 after a complete enumeration, the connect code, or 101 when an
// enumeration call failed.
void lebCollectObject(int32_t objectType, int32_t selector, LebRecordCallback callback, int* code);

// Rates the newest backup of the file at path ("dir\\file"): 1, 2 or 3, or
// the connect code.
void lebCheckBackupDate(const char* path, int64_t warnSeconds, int64_t critSeconds, int* status);
// The rating of a backup started at backupTime (seconds since the epoch),
// now being now. Limits and sums in 64 bits, so a limit beyond 32 bits
// (a count of days times 86,400) never wraps into a wrong rating.
int rateBackupAge(int64_t now, int64_t backupTime, int64_t warnSeconds, int64_t critSeconds);
// Seconds since the epoch, as local time, of an MS-DOS date and time.
int64_t dosDateTimeToEpoch(DWORD dosDateTime);
