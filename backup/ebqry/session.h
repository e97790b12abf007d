// The library's open connections. Each holds the server state read at its
// connect, its enumerations and the records it has handed out, so that
// nothing a caller holds changes under it until its next call.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "backup/ebqry/ebqry.h"
#include "backup/ebqry/state.h"

namespace ebqry {

// One enumeration in progress: its records and how far it has got.
struct Enumeration {
    bool active = false;
    int32_t type = 0;
    std::vector<uint8_t> records;
    size_t next = 0;  // index of the first record of the next batch
};

struct Session {
    std::mutex mutex;  // one caller at a time per connection
    ServerState state;
    Enumeration objects;
    Enumeration nextLevel;
    // The last records of VlvGetObjectByID and of the history call: each
    // call replaces its own, so a caller that never frees leaks nothing.
    enum Slot { kById, kHistory, kSlots };
    std::vector<uint8_t> handedOut[kSlots];

    // Starts `e` over `records` (of `type`) and delivers its first batch.
    LONG Begin(Enumeration& e, int32_t type, std::vector<uint8_t> records, LPVOID* batch,
               DWORD* count);
    // Delivers the next batch: VLV_OK more may follow, VLV_NO_MORE the last.
    LONG Next(Enumeration& e, int32_t type, LPVOID* batch, DWORD* count);
    LONG End(Enumeration& e, int32_t type);
    // Keeps `records` in `slot` until replaced or released; where they are
    // (null when empty).
    LPVOID HandOut(Slot slot, std::vector<uint8_t> records);
};

// Registers a new session for `connection` and fills the record in.
LONG OpenSession(VlvServerConnection* connection, ServerState state);
// The session of a connected record; null when the record is not ours or closed.
std::shared_ptr<Session> FindSession(const VlvServerConnection* connection);
// Closes the session of `connection` and clears the record's connected marks.
LONG CloseSession(VlvServerConnection* connection);
// Releases handed-out records wherever they belong; VLV_E_INVALID_PARAMETER when unknown.
LONG ReleaseHandedOut(LPVOID objects);

}  // namespace ebqry
