// The backup server's state as this library serves it: one JSON file,
// "ServerState.json", in the product's home directory (the "HOME" value of
// "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path"):
//
//   {
//     "server":     { "name": "VAULT01", "domain": "VAULTDOM", "version": "9.0",
//                     "database": "VLCATALOG", "batchSize": 64 },
//     "jobs":       [ { "jobId": 7, "jobType": 1, "submitTime": "2026-12-01 22:00:00", ... } ],
//     "media":      [ { "mediaId": 1, "tapeName": "WEEKLY-01", ... } ],
//     "tapeDrives": [ { "driveId": 1, "productId": "ULTRIUM-TD4", ... } ],
//     "history":    [ { "path": "C:\\data\\a.txt", "startTime": "now-4d", ... } ]
//   }
//
// Every section is optional. Object keys are the field names of the records
// in ebqry.h; fields left out are zero or empty. Times are "YYYY-MM-DD
// HH:MM:SS" in local time, "now" or "now-<n>s|m|h|d", or a raw MS-DOS value.
// A history entry's "path" names the backed-up file (directory and file name
// split at the last "\\" or "/"); its "fileName" defaults to the file part.
// "batchSize" (1 to 65536, default 64) is how many records one enumeration
// call delivers. The file is read at every connect; a missing file is an
// empty server, a malformed one refuses the connect.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "backup/ebqry/ebqry.h"

namespace ebqry {

inline constexpr const char* kStateFileName = "ServerState.json";
inline constexpr const char* kProductPathKey =
    "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path";

struct ServerState {
    std::string name;  // empty: the computer's name
    std::string domain;
    std::string version = "9.0";
    std::string database = "VLCATALOG";
    size_t batchSize = 64;
    // Records of each object type, back to back, in file order.
    std::vector<uint8_t> records[VLV_OBJ_MAX + 1];
    // Per history record: the directory and file name it was taken from.
    std::vector<std::string> historyDirectories;
    std::vector<std::string> historyFiles;

    size_t Count(int32_t type) const;
    const uint8_t* Record(int32_t type, size_t index) const;
};

// Parses a state file's text; VLV_OK or VLV_E_BAD_SERVER_STATE with the fault in *error.
LONG ParseServerState(const std::string& text, time_t now, ServerState* out, std::string* error);
// Reads the state of this machine's server: VLV_OK, VLV_E_NOT_INSTALLED,
// VLV_E_BAD_SERVER_STATE (the fault also goes to the debug output).
LONG LoadServerState(ServerState* out);
// The state file's path; empty when the product has no "HOME".
std::string StateFilePath();

// Splits a file path at its last "\\" or "/": directory before, file after.
void SplitPath(const std::string& path, std::string* directory, std::string* file);

}  // namespace ebqry
