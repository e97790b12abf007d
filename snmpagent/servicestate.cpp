#include "snmpagent/servicestate.h"

#include <cstdio>
#include <cstring>

#include "platform/resource.h"
#include "platform/scm.h"
#include "snmpagent/trace.h"

namespace {

constexpr int kResourceBufferSize = 1024;

struct StateText {
    UINT resourceId;
    const char* builtIn;
};

// Index: the state (0 for unknown).
constexpr StateText kStateTexts[] = {
    {0, "Unknown"}, {7, "Stopped"},          {1, "Start Pending"}, {2, "Stop Pending"},
    {3, "Running"}, {4, "Continue Pending"}, {5, "Pause Pending"}, {6, "Paused"},
};

int loadFrom(HINSTANCE module, UINT id, char* buffer) {
    return LoadStringA(module, id, buffer, kResourceBufferSize);
}

}  // namespace

DWORD readServiceState(const char* name, DWORD serviceAccess) {
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CREATE_SERVICE);
    if (!manager) return 0;
    DWORD state = 0;
    if (SC_HANDLE service = OpenServiceA(manager, name, serviceAccess)) {
        SERVICE_STATUS status{};
        if (QueryServiceStatus(service, &status)) state = status.dwCurrentState;
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return state;
}

int LoadStringRes(UINT id, char* text, size_t size) {
    agentTrace("LoadStringRes: Entered\n");
    char buffer[kResourceBufferSize] = "";
    int length = 0;
    if (HMODULE library = LoadLibraryA("lmAgentRes.dll")) {
        length = loadFrom(library, id, buffer);
        FreeLibrary(library);
    } else {
        agentTrace("LoadStringRes: Failed to load %s<Err=%d>\n", "lmAgentRes.dll",
                   static_cast<int>(GetLastError()));
        length = loadFrom(nullptr, id, buffer);
    }
    if (length == 0) {
        agentTrace("LoadStringRes: Failed to loadstring <%d> (Err=%d)\n", static_cast<int>(id),
                   static_cast<int>(GetLastError()));
        return 0;
    }
    agentTrace("LoadStringRes: Loaded Resource nID <%d> nStrSize <%d>\n", static_cast<int>(id),
               length);
    agentTrace("LoadStringRes: szStr <%s>\n", buffer);
    snprintf(text, size, "%s", buffer);
    agentTrace("LoadStringRes: lpBuffer <%s>\n", text);
    agentTrace("LoadStringRes: String Copy <%s> to <%s> (number = %d) \n", buffer, text, length);
    return 1;
}

void serviceStateText(DWORD state, char* text, size_t size) {
    const StateText& entry = kStateTexts[state < 8 ? state : 0];
    if (!LoadStringRes(entry.resourceId, text, size)) snprintf(text, size, "%s", entry.builtIn);
}
