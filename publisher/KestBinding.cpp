// Binding of the KestOrb exports.
#include "publisher/KestBinding.h"

namespace publisher {

const char* const kKestExportNames[kKestExportCount] = {
    "KestInit",          "KestDeInit",           "KestGetLastError",
    "KestAddObject",     "KestDeleteObject_S",   "KestDeleteObject_U",
    "KestGetObjectUUID", "KestSetStatus_S",      "KestSetStatus_U",
    "KestOpenObject",    "KestCloseObject",      "KestSaveObject",
    "KestResetObject",   "KestIsObjectOpened",   "KestRefreshObject",
    "KestGetOpenObject", "KestGetPropString",    "KestGetPropInt",
    "KestGetPropDouble", "KestGetPropUUID",      "KestGetPropBool",
    "KestGetPropDateTime", "KestGetPropChar",    "KestGetPropBinary",
    "KestSetPropString", "KestSetPropInt",       "KestSetPropDouble",
    "KestSetPropUUID",   "KestSetPropBool",      "KestSetPropDateTime",
    "KestSetPropChar",   "KestSetPropBinary",    "KestEmEvt_wto",
    "KestBPVCreate",     "KestBPVDelete",        "KestBPVAddObject",
    "KestBPVAddInclusionObject", "KestBPVDeleteObject", "KestBPVPopulate",
    "KestBPVPopulateVLT_SAN", "KestInitEx",
};

namespace {

// Positions in kKestExportNames of the entries the publisher calls.
enum Index {
    kDeInit = 1,
    kAddObject = 3,
    kDeleteObjectU = 5,
    kGetObjectUuid = 6,
    kOpenObject = 9,
    kCloseObject = 10,
    kSaveObject = 11,
    kGetPropString = 16,
    kSetPropString = 24,
    kBpvCreate = 33,
    kBpvDelete = 34,
    kBpvAddObject = 35,
    kBpvAddInclusion = 36,
    kBpvPopulate = 38,
    kBpvPopulateVltSan = 39,
    kInitEx = 40,
};

}  // namespace

bool KestExportWanted(KestExportSet set, int index) {
    return set == KestExportSet::Publisher ||
           (index != kBpvAddInclusion && index != kBpvPopulateVltSan);
}

int32_t CKestBinding::Load(const char* fileName, KestExportSet set) {
    Release();
    module_ = LoadLibraryA(fileName);
    if (module_ == nullptr) return KESTORB_ERR_LOAD_LIBRARY;
    for (int i = 0; i < kKestExportCount; ++i) {
        if (!KestExportWanted(set, i)) continue;
        entries_[i] = GetProcAddress(module_, kKestExportNames[i]);
        if (entries_[i] == nullptr) {
            Release();
            return KESTORB_ERR_GETPROCADDRESS;
        }
    }
    bound_ = true;
    return 0;
}

void CKestBinding::Release() {
    if (module_ == nullptr) return;
    if (bound_ && context_ != nullptr) Entry<decltype(&KestDeInit)>(kDeInit)(&context_);
    FreeLibrary(module_);
    module_ = nullptr;
    context_ = nullptr;
    bound_ = false;
    for (FARPROC& entry : entries_) entry = nullptr;
}

int32_t CKestBinding::OpenContext(const char* repository, const char* user,
                                  const char* password, int32_t debug, uint32_t flags) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    if (context_ != nullptr) DeInit();
    return Entry<decltype(&KestInitEx)>(kInitEx)(&context_, repository, user, password, debug,
                                                  flags);
}

int32_t CKestBinding::DeInit() {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestDeInit)>(kDeInit)(&context_);
}

int32_t CKestBinding::GetObjectUUID(const char* cls, const KestMachineRecord* machine,
                                    int32_t* count, UUID* uuid) {
    return Forward<decltype(&KestGetObjectUUID)>(kGetObjectUuid, cls, machine, count, uuid);
}

int32_t CKestBinding::AddObject(const KestMachineRecord* machine, const char* cls,
                                const char* name, UUID* uuid) {
    return Forward<decltype(&KestAddObject)>(kAddObject, machine, cls, name, uuid);
}

int32_t CKestBinding::DeleteObject_U(const char* cls, const UUID* uuid) {
    return Forward<decltype(&KestDeleteObject_U)>(kDeleteObjectU, cls, uuid);
}

int32_t CKestBinding::OpenObject(const char* cls, const UUID* uuid) {
    return Forward<decltype(&KestOpenObject)>(kOpenObject, cls, uuid);
}

int32_t CKestBinding::GetPropString(const char* name, char* buffer, int32_t* isNull,
                                    uint32_t* size) {
    return Forward<decltype(&KestGetPropString)>(kGetPropString, name, buffer, isNull, size);
}

int32_t CKestBinding::SetPropString(const char* name, const char* text, int32_t isNull) {
    return Forward<decltype(&KestSetPropString)>(kSetPropString, name, text, isNull);
}

int32_t CKestBinding::SaveObject() { return Forward<decltype(&KestSaveObject)>(kSaveObject); }

int32_t CKestBinding::CloseObject(int32_t save) {
    return Forward<decltype(&KestCloseObject)>(kCloseObject, save);
}

int32_t CKestBinding::BPVCreate(const char* view, UUID* uuid) {
    return Forward<decltype(&KestBPVCreate)>(kBpvCreate, view, uuid);
}

int32_t CKestBinding::BPVDelete(const char* view) {
    return Forward<decltype(&KestBPVDelete)>(kBpvDelete, view);
}

int32_t CKestBinding::BPVAddObject(const char* view, const char* cls, const UUID* uuid) {
    return Forward<decltype(&KestBPVAddObject)>(kBpvAddObject, view, cls, uuid);
}

int32_t CKestBinding::BPVAddInclusionObject(const char* view, const char* cls,
                                            const UUID* uuid) {
    return Forward<decltype(&KestBPVAddInclusionObject)>(kBpvAddInclusion, view, cls, uuid);
}

int32_t CKestBinding::BPVPopulate(const char* view, const char* cls) {
    return Forward<decltype(&KestBPVPopulate)>(kBpvPopulate, view, cls);
}

}  // namespace publisher
