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
    kSetPropString = 24,
    kBpvCreate = 33,
    kBpvDelete = 34,
    kBpvAddObject = 35,
    kBpvAddInclusion = 36,
    kBpvPopulate = 38,
    kInitEx = 40,
};

}  // namespace

int32_t CKestBinding::Load(const char* fileName) {
    Release();
    module_ = LoadLibraryA(fileName);
    if (module_ == nullptr) return KESTORB_ERR_LOAD_LIBRARY;
    for (int i = 0; i < kKestExportCount; ++i) {
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
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestGetObjectUUID)>(kGetObjectUuid)(context_, cls, machine, count,
                                                                uuid);
}

int32_t CKestBinding::AddObject(const KestMachineRecord* machine, const char* cls,
                                const char* name, UUID* uuid) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestAddObject)>(kAddObject)(context_, machine, cls, name, uuid);
}

int32_t CKestBinding::DeleteObject_U(const char* cls, const UUID* uuid) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestDeleteObject_U)>(kDeleteObjectU)(context_, cls, uuid);
}

int32_t CKestBinding::OpenObject(const char* cls, const UUID* uuid) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestOpenObject)>(kOpenObject)(context_, cls, uuid);
}

int32_t CKestBinding::SetPropString(const char* name, const char* text, int32_t isNull) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestSetPropString)>(kSetPropString)(context_, name, text, isNull);
}

int32_t CKestBinding::SaveObject() {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestSaveObject)>(kSaveObject)(context_);
}

int32_t CKestBinding::CloseObject(int32_t save) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestCloseObject)>(kCloseObject)(context_, save);
}

int32_t CKestBinding::BPVCreate(const char* view, UUID* uuid) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestBPVCreate)>(kBpvCreate)(context_, view, uuid);
}

int32_t CKestBinding::BPVDelete(const char* view) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestBPVDelete)>(kBpvDelete)(context_, view);
}

int32_t CKestBinding::BPVAddObject(const char* view, const char* cls, const UUID* uuid) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestBPVAddObject)>(kBpvAddObject)(context_, view, cls, uuid);
}

int32_t CKestBinding::BPVAddInclusionObject(const char* view, const char* cls,
                                            const UUID* uuid) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestBPVAddInclusionObject)>(kBpvAddInclusion)(context_, view, cls,
                                                                          uuid);
}

int32_t CKestBinding::BPVPopulate(const char* view, const char* cls) {
    if (!bound_) return KESTORB_ERR_GETPROCADDRESS;
    ++calls_;
    return Entry<decltype(&KestBPVPopulate)>(kBpvPopulate)(context_, view, cls);
}

}  // namespace publisher
