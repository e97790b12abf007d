// The 41 exports: each checks the handle, converts arguments and calls the
// context's operation. Nothing throws past this file.
#include <cstring>
#include <exception>

#include "kestorb/BusinessViews.h"
#include "kestorb/KestContext.h"
#include "kestorb/KestOrb.h"
#include "kestorb/ObjectModel.h"
#include "platform/dynload.h"

#define KEST_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// An operation of the object model or the views: its result becomes the
// context's last error.
template <typename Op>
int32_t OnContext(KestContext* handle, Op op) {
    if (handle == nullptr) return KESTORB_ERR_BAD_CONTEXT;
    try {
        return handle->Done(op(*handle));
    } catch (const std::exception&) {
        return handle->Done(ORBOM_RC_OUT_OF_MEMORY);
    }
}

// A single-object operation: the accessor keeps its own last error.
template <typename Op>
int32_t OnAccessor(KestContext* handle, Op op) {
    if (handle == nullptr) return KESTORB_ERR_BAD_CONTEXT;
    try {
        return op(*handle->single);
    } catch (const std::exception&) {
        return ORBOM_RC_OUT_OF_MEMORY;
    }
}

// A required argument the caller left out.
int32_t BadPointer() { return ORBOM_RC_INVALID_POINTER_PARAMETER; }

}  // namespace

// ---- Context ----

KEST_EXPORT int32_t KestInitEx(KestContext** handle, const char* repository, const char* user,
                               const char* password, int32_t /*reserved*/, uint32_t flags) {
    if (handle == nullptr) return KESTORB_ERR_BAD_CONTEXT;
    try {
        return kest::InitializeContext(handle, repository, user, password, flags);
    } catch (const std::exception&) {
        *handle = nullptr;
        return KESTORB_ERR_NEW;
    }
}

KEST_EXPORT int32_t KestInit(KestContext** handle, const char* repository, const char* user,
                             const char* password, int32_t reserved) {
    return KestInitEx(handle, repository, user, password, reserved, 0);
}

KEST_EXPORT int32_t KestDeInit(KestContext** handle) {
    if (handle == nullptr || *handle == nullptr) return KESTORB_ERR_BAD_CONTEXT;
    return kest::DeInitializeContext(handle);
}

KEST_EXPORT int32_t KestGetLastError(KestContext* handle) {
    return handle == nullptr ? KESTORB_ERR_BAD_CONTEXT : handle->lastError;
}

// ---- Backup objects under a machine ----

KEST_EXPORT int32_t KestAddObject(KestContext* handle, const KestMachineRecord* machine,
                                  const char* className, const char* objectName, UUID* outUuid) {
    return OnContext(handle, [&](KestContext& ctx) {
        if (machine == nullptr || outUuid == nullptr) return BadPointer();
        return kest::AddObject(ctx, className, *machine, objectName, outUuid);
    });
}
KEST_EXPORT int32_t KestDeleteObject_S(KestContext* handle, const KestMachineRecord* machine,
                                       const char* className) {
    return OnContext(handle, [&](KestContext& ctx) {
        if (machine == nullptr) return BadPointer();
        return kest::DeleteKestObject_S(ctx, className, *machine);
    });
}
KEST_EXPORT int32_t KestDeleteObject_U(KestContext* handle, const char* className,
                                       const UUID* uuid) {
    return OnContext(handle, [&](KestContext& ctx) {
        if (uuid == nullptr) return BadPointer();
        return kest::DeleteObject_U(ctx, className, *uuid);
    });
}
KEST_EXPORT int32_t KestGetObjectUUID(KestContext* handle, const char* className,
                                      const KestMachineRecord* machine, int32_t* outCount,
                                      UUID* outUuid) {
    return OnContext(handle, [&](KestContext& ctx) {
        if (machine == nullptr || outCount == nullptr || outUuid == nullptr) return BadPointer();
        return kest::FindKestObjectEx(ctx, className, *machine, outCount, outUuid);
    });
}
KEST_EXPORT int32_t KestSetStatus_S(KestContext* handle, const KestMachineRecord* machine,
                                    const char* className, int32_t status) {
    return OnContext(handle, [&](KestContext& ctx) {
        if (machine == nullptr) return BadPointer();
        return kest::SetKestStatus_S(ctx, *machine, className, status);
    });
}
KEST_EXPORT int32_t KestSetStatus_U(KestContext* handle, const char* className, const UUID* uuid,
                                    int32_t status) {
    return OnContext(handle, [&](KestContext& ctx) {
        if (uuid == nullptr) return BadPointer();
        return kest::SetKestStatus_U(ctx, className, *uuid, status);
    });
}

// ---- Single-object access ----

KEST_EXPORT int32_t KestOpenObject(KestContext* handle, const char* className, const UUID* uuid) {
    return OnAccessor(handle, [&](COrbSingleObj& s) { return s.OpenObject(className, uuid); });
}
KEST_EXPORT int32_t KestCloseObject(KestContext* handle, int32_t save) {
    return OnAccessor(handle, [&](COrbSingleObj& s) { return s.CloseObject(save != 0); });
}
KEST_EXPORT int32_t KestSaveObject(KestContext* handle) {
    return OnAccessor(handle, [](COrbSingleObj& s) { return s.SaveObject(); });
}
KEST_EXPORT int32_t KestResetObject(KestContext* handle) {
    return OnAccessor(handle, [](COrbSingleObj& s) { return s.ResetObject(); });
}
KEST_EXPORT int32_t KestRefreshObject(KestContext* handle) {
    return OnAccessor(handle, [](COrbSingleObj& s) { return s.RefreshObject(); });
}
KEST_EXPORT int32_t KestIsObjectOpened(KestContext* handle) {
    return OnAccessor(handle, [](COrbSingleObj& s) { return s.IsObjectOpened(); });
}
KEST_EXPORT int32_t KestGetOpenObject(KestContext* handle, char* outClass, UUID* outUuid) {
    return OnAccessor(handle, [&](COrbSingleObj& s) { return s.GetOpenObject(outClass, outUuid); });
}

KEST_EXPORT int32_t KestGetPropString(KestContext* handle, const char* name, char* buffer,
                                      int32_t* outNull, uint32_t* size) {
    return OnAccessor(handle,
                      [&](COrbSingleObj& s) { return s.GetString(name, buffer, outNull, size); });
}
KEST_EXPORT int32_t KestGetPropInt(KestContext* handle, const char* name, int32_t* value,
                                   int32_t* outNull) {
    return OnAccessor(handle, [&](COrbSingleObj& s) { return s.GetInt(name, value, outNull); });
}
KEST_EXPORT int32_t KestGetPropDouble(KestContext* handle, const char* name, double* value,
                                      int32_t* outNull) {
    return OnAccessor(handle, [&](COrbSingleObj& s) { return s.GetDouble(name, value, outNull); });
}
KEST_EXPORT int32_t KestGetPropUUID(KestContext* handle, const char* name, UUID* value,
                                    int32_t* outNull) {
    return OnAccessor(handle, [&](COrbSingleObj& s) { return s.GetUUID(name, value, outNull); });
}
KEST_EXPORT int32_t KestGetPropBool(KestContext* handle, const char* name, int32_t* value,
                                    int32_t* outNull) {
    return OnAccessor(handle, [&](COrbSingleObj& s) { return s.GetBool(name, value, outNull); });
}
KEST_EXPORT int32_t KestGetPropDateTime(KestContext* handle, const char* name, char* buffer,
                                        int32_t* outNull, uint32_t* size) {
    return OnAccessor(handle,
                      [&](COrbSingleObj& s) { return s.GetDateTime(name, buffer, outNull, size); });
}
KEST_EXPORT int32_t KestGetPropChar(KestContext* handle, const char* name, char* value,
                                    int32_t* outNull) {
    return OnAccessor(handle, [&](COrbSingleObj& s) { return s.GetChar(name, value, outNull); });
}
KEST_EXPORT int32_t KestGetPropBinary(KestContext* handle, const char* name, void* buffer,
                                      int32_t* outNull, uint32_t* size) {
    return OnAccessor(handle,
                      [&](COrbSingleObj& s) { return s.GetBinary(name, buffer, outNull, size); });
}

namespace {

// Texts are sent with their length, or 0 when the value is null.
int32_t SetText(KestContext* handle, uint32_t type, const char* name, const char* text,
                int32_t isNull) {
    return OnAccessor(handle, [&](COrbSingleObj& s) {
        uint32_t length = isNull != 0 || text == nullptr ? 0 : static_cast<uint32_t>(strlen(text));
        return s.SetObjectProp(type, name, length, text, isNull);
    });
}

template <typename T>
int32_t SetFixed(KestContext* handle, uint32_t type, const char* name, const T& value,
                 int32_t isNull) {
    return OnAccessor(handle, [&](COrbSingleObj& s) {
        return s.SetObjectProp(type, name, sizeof value, &value, isNull);
    });
}

}  // namespace

KEST_EXPORT int32_t KestSetPropString(KestContext* handle, const char* name, const char* text,
                                      int32_t isNull) {
    return SetText(handle, ORBOM_TYPE_STRING, name, text, isNull);
}
KEST_EXPORT int32_t KestSetPropDateTime(KestContext* handle, const char* name, const char* text,
                                        int32_t isNull) {
    return SetText(handle, ORBOM_TYPE_DATETIME, name, text, isNull);
}
KEST_EXPORT int32_t KestSetPropInt(KestContext* handle, const char* name, int32_t value,
                                   int32_t isNull) {
    return SetFixed(handle, ORBOM_TYPE_INTEGER, name, value, isNull);
}
KEST_EXPORT int32_t KestSetPropBool(KestContext* handle, const char* name, int32_t value,
                                    int32_t isNull) {
    return SetFixed(handle, ORBOM_TYPE_BOOLEAN, name, value, isNull);
}
KEST_EXPORT int32_t KestSetPropChar(KestContext* handle, const char* name, char value,
                                    int32_t isNull) {
    return SetFixed(handle, ORBOM_TYPE_CHAR, name, value, isNull);
}
KEST_EXPORT int32_t KestSetPropDouble(KestContext* handle, const char* name, double value,
                                      int32_t isNull) {
    return SetFixed(handle, ORBOM_TYPE_DOUBLE, name, value, isNull);
}
KEST_EXPORT int32_t KestSetPropUUID(KestContext* handle, const char* name, const UUID* value,
                                    int32_t isNull) {
    if (value == nullptr && isNull == 0) {
        return OnAccessor(handle, [](COrbSingleObj&) { return ORBOM_RC_INVALID_POINTER_PARAMETER; });
    }
    return OnAccessor(handle, [&](COrbSingleObj& s) {
        return s.SetObjectProp(ORBOM_TYPE_UUID, name, sizeof(UUID), value, isNull);
    });
}
KEST_EXPORT int32_t KestSetPropBinary(KestContext* handle, const char* name, const void* data,
                                      int32_t isNull, uint32_t length) {
    return OnAccessor(handle, [&](COrbSingleObj& s) {
        return s.SetObjectProp(ORBOM_TYPE_BINARY, name, length, data, isNull);
    });
}

// ---- Event library ----

KEST_EXPORT int32_t KestEmEvt_wto(uint32_t value1, uint32_t value2) {
    using EmEvtWto = int32_t (*)(uint32_t, uint32_t);
    HMODULE library = LoadLibraryA("nwuevt.dll");
    if (library == nullptr) return KESTORB_ERR_LOAD_LIBRARY;
    auto entry = reinterpret_cast<EmEvtWto>(GetProcAddress(library, "EmEvt_wto"));
    if (entry == nullptr) {
        FreeLibrary(library);
        return KESTORB_ERR_GETPROCADDRESS;
    }
    int32_t rc = entry(value1, value2);
    FreeLibrary(library);
    return rc;
}

// ---- Business process views ----

KEST_EXPORT int32_t KestBPVCreate(KestContext* handle, const char* viewName, UUID* outUuid) {
    return OnContext(handle,
                     [&](KestContext& ctx) { return kest::BPVCreate(ctx, viewName, outUuid); });
}
KEST_EXPORT int32_t KestBPVDelete(KestContext* handle, const char* viewName) {
    return OnContext(handle, [&](KestContext& ctx) { return kest::BPVDelete(ctx, viewName); });
}
KEST_EXPORT int32_t KestBPVPopulate(KestContext* handle, const char* viewName,
                                    const char* className) {
    return OnContext(handle,
                     [&](KestContext& ctx) { return kest::BPVPopulate(ctx, viewName, className); });
}
KEST_EXPORT int32_t KestBPVAddObject(KestContext* handle, const char* viewName,
                                     const char* className, const UUID* uuid) {
    return OnContext(handle, [&](KestContext& ctx) {
        if (uuid == nullptr) return BadPointer();
        return kest::BPVAddObject(ctx, viewName, className, *uuid);
    });
}
KEST_EXPORT int32_t KestBPVDeleteObject(KestContext* handle, const char* viewName,
                                        const char* className, const UUID* uuid) {
    return OnContext(handle, [&](KestContext& ctx) {
        if (uuid == nullptr) return BadPointer();
        return kest::BPVDeleteObject(ctx, viewName, className, *uuid);
    });
}
KEST_EXPORT int32_t KestBPVPopulateVLT_SAN(KestContext* handle, const char* viewName) {
    return OnContext(handle,
                     [&](KestContext& ctx) { return kest::BusinessProcessView(ctx, viewName); });
}
KEST_EXPORT int32_t KestBPVAddInclusionObject(KestContext* handle, const char* viewName,
                                              const char* className, const UUID* uuid) {
    return OnContext(handle, [&](KestContext& ctx) {
        if (uuid == nullptr) return BadPointer();
        return kest::BPVAddInclusionObject(ctx, viewName, className, *uuid);
    });
}
