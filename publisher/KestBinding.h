// CKestBinding: the KestOrb library loaded by name and its exports bound by
// name, for one publishing pass (all 41) or one launcher job (39: the
// launcher never adds inclusion objects nor fills the SAN view). A library
// that lacks any one of the names asked for is not used at all, so a
// half-installed library fails the pass instead of the program. Every
// forwarding call answers KESTORB_ERR_GETPROCADDRESS while nothing is bound
// (or its entry was not asked for), and passes the binding's own context
// first otherwise.
#pragma once

#include <cstdint>

#include "kestorb/KestOrb.h"
#include "platform/dynload.h"

namespace publisher {

// How many exports a complete library has, and their names in binding order.
inline constexpr int kKestExportCount = 41;
extern const char* const kKestExportNames[kKestExportCount];

// Which of the names a binding asks for.
enum class KestExportSet {
    Publisher,  // all 41
    Launcher,   // all but KestBPVAddInclusionObject and KestBPVPopulateVLT_SAN
};
// Whether the set asks for the name at position index of kKestExportNames.
bool KestExportWanted(KestExportSet set, int index);

class CKestBinding {
public:
    CKestBinding() = default;
    ~CKestBinding() { Release(); }
    CKestBinding(const CKestBinding&) = delete;
    CKestBinding& operator=(const CKestBinding&) = delete;

    // 0, KESTORB_ERR_LOAD_LIBRARY or KESTORB_ERR_GETPROCADDRESS (then nothing
    // is bound and the library is unloaded again).
    int32_t Load(const char* fileName, KestExportSet set = KestExportSet::Publisher);
    // Closes an open context, unloads the library and forgets every entry.
    void Release();
    bool Bound() const { return bound_; }
    bool HasContext() const { return context_ != nullptr; }
    // Calls forwarded to the library so far (what a record costs in calls).
    uint64_t Calls() const { return calls_; }

    // Closes a context already open, then KestInitEx on the binding's handle.
    int32_t OpenContext(const char* repository, const char* user, const char* password,
                        int32_t debug, uint32_t flags);

    int32_t DeInit();
    int32_t GetObjectUUID(const char* cls, const KestMachineRecord* machine, int32_t* count,
                          UUID* uuid);
    int32_t AddObject(const KestMachineRecord* machine, const char* cls, const char* name,
                      UUID* uuid);
    int32_t DeleteObject_U(const char* cls, const UUID* uuid);
    int32_t OpenObject(const char* cls, const UUID* uuid);
    int32_t GetPropString(const char* name, char* buffer, int32_t* isNull, uint32_t* size);
    int32_t SetPropString(const char* name, const char* text, int32_t isNull);
    int32_t SaveObject();
    int32_t CloseObject(int32_t save);
    int32_t BPVCreate(const char* view, UUID* uuid);
    int32_t BPVDelete(const char* view);
    int32_t BPVAddObject(const char* view, const char* cls, const UUID* uuid);
    int32_t BPVAddInclusionObject(const char* view, const char* cls, const UUID* uuid);
    int32_t BPVPopulate(const char* view, const char* cls);

private:
    // The entry point at position index of kKestExportNames, as type F.
    template <typename F>
    F Entry(int index) const {
        return reinterpret_cast<F>(entries_[index]);
    }
    // Calls entry index (of type F) with the context and args; 4102 when it
    // is not bound.
    template <typename F, typename... Args>
    int32_t Forward(int index, Args... args) {
        if (!bound_ || entries_[index] == nullptr) return KESTORB_ERR_GETPROCADDRESS;
        ++calls_;
        return Entry<F>(index)(context_, args...);
    }

    bool bound_ = false;
    uint64_t calls_ = 0;
    KestContext* context_ = nullptr;
    HMODULE module_ = nullptr;
    FARPROC entries_[kKestExportCount] = {};
};

}  // namespace publisher
