// A stand-in "KestOrb.DLL" exporting the 41 names. Test builds leave one of
// them out with a version script; the complete one counts the context calls.
#include <cstdint>

extern "C" {

#define KEST_STUB(name) \
    __attribute__((visibility("default"))) int32_t name() { return 0; }

KEST_STUB(KestInit)
KEST_STUB(KestGetLastError)
KEST_STUB(KestAddObject)
KEST_STUB(KestDeleteObject_S)
KEST_STUB(KestDeleteObject_U)
KEST_STUB(KestGetObjectUUID)
KEST_STUB(KestSetStatus_S)
KEST_STUB(KestSetStatus_U)
KEST_STUB(KestOpenObject)
KEST_STUB(KestCloseObject)
KEST_STUB(KestSaveObject)
KEST_STUB(KestResetObject)
KEST_STUB(KestIsObjectOpened)
KEST_STUB(KestRefreshObject)
KEST_STUB(KestGetOpenObject)
KEST_STUB(KestGetPropString)
KEST_STUB(KestGetPropInt)
KEST_STUB(KestGetPropDouble)
KEST_STUB(KestGetPropUUID)
KEST_STUB(KestGetPropBool)
KEST_STUB(KestGetPropDateTime)
KEST_STUB(KestGetPropChar)
KEST_STUB(KestGetPropBinary)
KEST_STUB(KestSetPropString)
KEST_STUB(KestSetPropInt)
KEST_STUB(KestSetPropDouble)
KEST_STUB(KestSetPropUUID)
KEST_STUB(KestSetPropBool)
KEST_STUB(KestSetPropDateTime)
KEST_STUB(KestSetPropChar)
KEST_STUB(KestSetPropBinary)
KEST_STUB(KestEmEvt_wto)
KEST_STUB(KestBPVCreate)
KEST_STUB(KestBPVDelete)
KEST_STUB(KestBPVAddObject)
KEST_STUB(KestBPVAddInclusionObject)
KEST_STUB(KestBPVDeleteObject)
KEST_STUB(KestBPVPopulate)
KEST_STUB(KestBPVPopulateVLT_SAN)

__attribute__((visibility("default"))) int32_t StubInitCalls = 0;
__attribute__((visibility("default"))) int32_t StubDeInitCalls = 0;
static int g_context;

__attribute__((visibility("default"))) int32_t KestInitEx(void** handle, const char*,
                                                          const char*, const char*, int32_t,
                                                          uint32_t) {
    ++StubInitCalls;
    *handle = &g_context;
    return 0;
}

__attribute__((visibility("default"))) int32_t KestDeInit(void** handle) {
    ++StubDeInitCalls;
    if (handle == nullptr || *handle == nullptr) return 4097;
    *handle = nullptr;
    return 0;
}

}  // extern "C"
