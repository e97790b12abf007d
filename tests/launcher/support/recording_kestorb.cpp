// A stand-in "KestOrb.DLL" for the host update job's tests: it knows the
// machines the test gives it (class, name, how many "Vaultline" objects),
// answers "name" as the test says, and writes every call the job makes into
// one line of text the test reads back.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Machine {
    std::string cls;
    std::string name;
    int32_t count;
};

struct State {
    std::vector<Machine> machines;
    std::string name = "HOST:1";
    int32_t nameNull = 0;
    int32_t nameResult = 0;
    int32_t initResult = 0;
    std::string calls;
};

State& Stub() {
    static State* state = new State;  // outlives every caller
    return *state;
}

void Record(const std::string& call) {
    if (!Stub().calls.empty()) Stub().calls += "; ";
    Stub().calls += call;
}

int g_context;

// The machine record's layout (size, 48-byte class, 48-byte name).
struct Record100 {
    uint32_t size;
    char machineClass[48];
    char machineName[48];
};

}  // namespace

// ---- What the tests set and read ------------------------------------------
EXPORT void StubReset() { Stub() = State(); }
EXPORT void StubAddMachine(const char* cls, const char* name, int32_t count) {
    Stub().machines.push_back({cls, name, count});
}
EXPORT void StubSetName(const char* name, int32_t isNull, int32_t result) {
    Stub().name = name;
    Stub().nameNull = isNull;
    Stub().nameResult = result;
}
EXPORT void StubSetInitResult(int32_t result) { Stub().initResult = result; }
EXPORT const char* StubCalls() { return Stub().calls.c_str(); }

// ---- The calls the job makes -----------------------------------------------
EXPORT int32_t KestInitEx(void** handle, const char* repository, const char*, const char*,
                          int32_t, uint32_t flags) {
    Record("init " + std::string(repository) + " " + std::to_string(flags));
    if (Stub().initResult != 0) return Stub().initResult;
    *handle = &g_context;
    return 0;
}
EXPORT int32_t KestDeInit(void** handle) {
    Record("deinit");
    *handle = nullptr;
    return 0;
}
EXPORT int32_t KestGetObjectUUID(void*, const char* cls, const Record100* machine,
                                 int32_t* count, unsigned char* uuid) {
    Record("find " + std::string(cls) + " " + machine->machineClass + "/" +
           machine->machineName);
    for (size_t i = 0; i < Stub().machines.size(); ++i) {
        const Machine& known = Stub().machines[i];
        if (known.cls == machine->machineClass && known.name == machine->machineName) {
            *count = known.count;
            std::memset(uuid, 0, 16);
            uuid[0] = static_cast<unsigned char>(i + 1);
            return known.count > 0 ? 0 : 16;
        }
    }
    return 16;
}
EXPORT int32_t KestOpenObject(void*, const char* cls, const unsigned char* uuid) {
    Record("open " + std::string(cls) + " " + std::to_string(uuid[0]));
    return 0;
}
EXPORT int32_t KestGetPropString(void*, const char* name, char* buffer, int32_t* isNull,
                                 uint32_t* size) {
    Record("get " + std::string(name) + " " + std::to_string(*size));
    if (Stub().nameResult != 0) return Stub().nameResult;
    *isNull = Stub().nameNull;
    const size_t length = std::min<size_t>(Stub().name.size(), *size - 1);
    std::memcpy(buffer, Stub().name.data(), length);
    buffer[length] = '\0';
    *size = static_cast<uint32_t>(length);
    return 0;
}
EXPORT int32_t KestSetPropString(void*, const char* name, const char* text, int32_t isNull) {
    Record("set " + std::string(name) + "=" + text + " " + std::to_string(isNull));
    return 0;
}
EXPORT int32_t KestCloseObject(void*, int32_t save) {
    Record("close " + std::to_string(save));
    return 0;
}
EXPORT int32_t KestBPVCreate(void*, const char* view, unsigned char* uuid) {
    Record("view " + std::string(view));
    std::memset(uuid, 0x77, 16);
    return 0;
}
EXPORT int32_t KestBPVPopulate(void*, const char* view, const char* cls) {
    Record("populate " + std::string(view) + " " + cls);
    return 0;
}

// ---- Bound but never called by the job -------------------------------------
#define KEST_UNUSED(name) \
    EXPORT int32_t name() { return 0; }
KEST_UNUSED(KestInit)
KEST_UNUSED(KestGetLastError)
KEST_UNUSED(KestAddObject)
KEST_UNUSED(KestDeleteObject_S)
KEST_UNUSED(KestDeleteObject_U)
KEST_UNUSED(KestSetStatus_S)
KEST_UNUSED(KestSetStatus_U)
KEST_UNUSED(KestSaveObject)
KEST_UNUSED(KestResetObject)
KEST_UNUSED(KestIsObjectOpened)
KEST_UNUSED(KestRefreshObject)
KEST_UNUSED(KestGetOpenObject)
KEST_UNUSED(KestGetPropInt)
KEST_UNUSED(KestGetPropDouble)
KEST_UNUSED(KestGetPropUUID)
KEST_UNUSED(KestGetPropBool)
KEST_UNUSED(KestGetPropDateTime)
KEST_UNUSED(KestGetPropChar)
KEST_UNUSED(KestGetPropBinary)
KEST_UNUSED(KestSetPropInt)
KEST_UNUSED(KestSetPropDouble)
KEST_UNUSED(KestSetPropUUID)
KEST_UNUSED(KestSetPropBool)
KEST_UNUSED(KestSetPropDateTime)
KEST_UNUSED(KestSetPropChar)
KEST_UNUSED(KestSetPropBinary)
KEST_UNUSED(KestEmEvt_wto)
KEST_UNUSED(KestBPVDelete)
KEST_UNUSED(KestBPVAddObject)
KEST_UNUSED(KestBPVDeleteObject)
