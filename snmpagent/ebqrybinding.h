// The backup-server query library "EBQRY.DLL", loaded by bare name (the
// backup product's home directory is on PATH from start-up on) and bound by
// name once. It stays loaded for the life of the process.
#pragma once

#include "platform/dynload.h"

// The 19 functions in binding order; the number is the one the failure trace
// shows. All must be present for the library to count as initialised.
enum EbqryFunction {
    kVlvBeginEnumServers = 1,
    kVlvGetNextEnumServer,
    kVlvEndEnumServers,
    kVlvConnectServer,
    kVlvDisconnectServer,
    kVlvBeginEnumServersEB,
    kVlvGetNextEnumServerEB,
    kVlvEndEnumServersEB,
    kVlvConnectServerEB,
    kVlvDisconnectServerEB,
    kVlvBeginEnumObject,
    kVlvGetNextEnumObject,
    kVlvEndEnumObject,
    kVlvBeginEnumNextLevelObject,
    kVlvGetNextEnumNextLevelObject,
    kVlvEndEnumNextLevelObject,
    kVlvGetObjectByID,
    kVlvFreeObjects,
    kVlvGetBackupHistoryByFilename,
};
inline constexpr int kEbqryFunctionCount = 19;

// Loads and binds the library the first time; *result 0 on success (or when
// it was loaded before), 1 when the library or a name is missing.
void lebInitialize(int* result);
// True when the library is loaded and every name was bound.
bool lebIsInitialized();
// The bound function of that number; null while not initialised.
FARPROC lebFunction(EbqryFunction function);
// Installs functions in place of a loaded library (all 19, in binding
// order; null restores the state before). For tests.
void lebInstallFunctions(const FARPROC* functions);
