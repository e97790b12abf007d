#include "snmpagent/ebqrybinding.h"

#include <atomic>
#include <mutex>

#include "snmpagent/trace.h"

namespace {

constexpr const char* kFunctionNames[kEbqryFunctionCount] = {
    "VlvBeginEnumServers",         "VlvGetNextEnumServer",
    "VlvEndEnumServers",           "VlvConnectServer",
    "VlvDisconnectServer",         "VlvBeginEnumServersEB",
    "VlvGetNextEnumServerEB",      "VlvEndEnumServersEB",
    "VlvConnectServerEB",          "VlvDisconnectServerEB",
    "VlvBeginEnumObject",          "VlvGetNextEnumObject",
    "VlvEndEnumObject",            "VlvBeginEnumNextLevelObject",
    "VlvGetNextEnumNextLevelObject", "VlvEndEnumNextLevelObject",
    "VlvGetObjectByID",            "VlvFreeObjects",
    "VlvGetBackupHistoryByFilename",
};

struct Binding {
    std::mutex lock;
    HMODULE module = nullptr;
    FARPROC functions[kEbqryFunctionCount] = {};
    std::atomic<bool> initialized{false};
};

Binding& binding() {
    static Binding instance;
    return instance;
}

// Binds every name in order; stops at the first missing one.
bool bindAll(Binding& state) {
    for (int i = 0; i < kEbqryFunctionCount; ++i) {
        state.functions[i] = GetProcAddress(state.module, kFunctionNames[i]);
        if (!state.functions[i]) {
            agentTrace("lebInitialize: %d not found\n", i + 1);
            return false;
        }
    }
    return true;
}

}  // namespace

void lebInitialize(int* result) {
    *result = 0;
    Binding& state = binding();
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.module) return;
    state.module = LoadLibraryA("EBQRY.DLL");
    if (!state.module) {
        agentTrace("lebInitialize: DLL not found\n");
        *result = 1;
        return;
    }
    // A library with a missing name stays loaded but unusable; it is not
    // bound again while the process lives.
    if (!bindAll(state)) {
        *result = 1;
        return;
    }
    state.initialized = true;
}

bool lebIsInitialized() {
    return binding().initialized;
}

FARPROC lebFunction(EbqryFunction function) {
    if (!lebIsInitialized() || function < 1 || function > kEbqryFunctionCount) return nullptr;
    return binding().functions[function - 1];
}

void lebInstallFunctions(const FARPROC* functions) {
    Binding& state = binding();
    std::lock_guard<std::mutex> hold(state.lock);
    for (int i = 0; i < kEbqryFunctionCount; ++i)
        state.functions[i] = functions ? functions[i] : nullptr;
    // Restoring leaves a library loaded earlier unbound; the tests that
    // install functions never load one.
    state.initialized = functions != nullptr;
}
