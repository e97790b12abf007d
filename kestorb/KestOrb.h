// KestOrb: the backup product's flat API over the framework's object
// repository. Programs load it by name ("KestOrb.DLL") and bind these 41
// functions by name, so the names and argument orders below are the contract.
//
// Conventions:
//  1. Handles. A caller gets an opaque KestContext* from KestInit or
//     KestInitEx and passes it first to every other call (KestEmEvt_wto takes
//     none). A none (null) handle makes every call that takes one return
//     KESTORB_ERR_BAD_CONTEXT (4097) and do nothing else. One context is used
//     by one thread at a time; independent contexts share nothing but the
//     trace file. The library starts no threads and takes no locks.
//  2. Results. Every function returns a 32-bit signed code: 0 for success,
//     a repository client code ORBOM_RC_* (1..67, 9000..9009; 16
//     ORBOM_RC_NO_MATCH means "not found") passed through unchanged, or one
//     of the library's own KESTORB_ERR_* codes (4097..4102). KestCodeName
//     (kestorb/KestCodes.h) names them. Each operation stores its result as
//     the context's last error (KestGetLastError), except the single-object
//     family (KestOpenObject .. KestSetPropBinary), whose accessor keeps its
//     own.
//  3. Ownership. From KestInitEx to KestDeInit the library owns the context,
//     its repository client kernel and connection, the single-object accessor
//     and every list it creates. Callers own only the strings, UUID buffers,
//     value buffers and KestMachineRecords they pass; the library reads or
//     fills them during the call and never keeps them. KestDeInit releases
//     everything and sets the caller's handle to none. The kernel is never
//     stopped by the library (the process that started it owns it).
//  4. Strings are zero-terminated 8-bit texts. Class names are cut to 29
//     characters and object names to 31. Out buffers are written within the
//     size the caller gives, always terminated when the size is not 0.
//  5. Object identifiers are 16-byte UUIDs in the Windows field layout
//     (platform/uuid.h), passed by address.
//  6. Tracing: when the registry value "Debug" of the integration key
//     (kstool's integration root key + "\\OrbIntegration") is exactly 1 at
//     initialisation, the context appends lines to "KestOrb.TRC" in the
//     directory named by "LOG" of the product key's "\\Path" subkey, or in
//     the machine's temporary directory. Trace failures never change results.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/nwomapi/orbom_codes.h"
#include "platform/uuid.h"

// The library's own result codes.
#define KESTORB_ERR_BAD_CONTEXT 4097     // the context argument is none
#define KESTORB_ERR_ALREADY_EXISTS 4098  // KestAddObject: the machine has an object of the class
#define KESTORB_ERR_NEW 4099             // a context, kernel, repository, accessor or list could not be made
#define KESTORB_ERR_NOT_UNIQUE 4100      // more than one found where exactly one is required
#define KESTORB_ERR_LOAD_LIBRARY 4101    // a library could not be loaded
#define KESTORB_ERR_GETPROCADDRESS 4102  // a library lacks an entry point

// Lengths of the names the library copies (characters, without terminator).
#define KESTORB_MAX_CLASS_NAME 29
#define KESTORB_MAX_OBJECT_NAME 31

// The machine a backup object belongs to. Fixed 100-byte layout:
//   offset 0   size          32-bit record size; callers set 100 (not checked)
//   offset 4   machineClass  repository class of the machine object, zero-terminated
//   offset 52  machineName   "name" of the machine object, zero-terminated
struct KestMachineRecord {
    uint32_t size;
    char machineClass[48];
    char machineName[48];
};
static_assert(sizeof(KestMachineRecord) == 100, "KestMachineRecord is 100 bytes");
static_assert(offsetof(KestMachineRecord, machineClass) == 4, "machineClass at offset 4");
static_assert(offsetof(KestMachineRecord, machineName) == 52, "machineName at offset 52");

struct KestContext;

extern "C" {

// ---- Context -------------------------------------------------------------
// KestInitEx with flags 0.
int32_t KestInit(KestContext** handle, const char* repository, const char* user,
                 const char* password, int32_t reserved);
// Creates a context and connects it. Flags bit 0 set: connect without signing
// on, to the named repository or, when the name is empty, to the first one the
// kernel knows. Bit 0 clear: connect and sign on with user and password.
// On failure *handle is none and the failing code is returned; a damaged
// registry hive answers 4099 (KESTORB_ERR_NEW: the context cannot be made)
// before anything is started, with the reason in the temporary directory's
// "KestOrb.TRC" (whether "Debug" is 1 cannot be read then).
int32_t KestInitEx(KestContext** handle, const char* repository, const char* user,
                   const char* password, int32_t reserved, uint32_t flags);
// Releases the context and sets *handle to none; 4097 when handle or *handle is none.
int32_t KestDeInit(KestContext** handle);
int32_t KestGetLastError(KestContext* handle);

// ---- Backup objects under a machine ----------------------------------------
int32_t KestAddObject(KestContext* handle, const KestMachineRecord* machine, const char* className,
                      const char* objectName, UUID* outUuid);
int32_t KestDeleteObject_S(KestContext* handle, const KestMachineRecord* machine,
                           const char* className);
int32_t KestDeleteObject_U(KestContext* handle, const char* className, const UUID* uuid);
int32_t KestGetObjectUUID(KestContext* handle, const char* className,
                          const KestMachineRecord* machine, int32_t* outCount, UUID* outUuid);
int32_t KestSetStatus_S(KestContext* handle, const KestMachineRecord* machine,
                        const char* className, int32_t status);
int32_t KestSetStatus_U(KestContext* handle, const char* className, const UUID* uuid,
                        int32_t status);

// ---- Single-object access ------------------------------------------------
int32_t KestOpenObject(KestContext* handle, const char* className, const UUID* uuid);
int32_t KestCloseObject(KestContext* handle, int32_t save);
int32_t KestSaveObject(KestContext* handle);
int32_t KestResetObject(KestContext* handle);
int32_t KestRefreshObject(KestContext* handle);
// 0 when an object is open, 2 when not.
int32_t KestIsObjectOpened(KestContext* handle);
// outClass receives at most 29 characters and a terminator (30 bytes).
int32_t KestGetOpenObject(KestContext* handle, char* outClass, UUID* outUuid);

// Typed reads. For the buffer reads *size is the buffer's size in bytes on
// entry; afterwards the value's length (string, binary) or 0 (date-time).
int32_t KestGetPropString(KestContext* handle, const char* name, char* buffer, int32_t* outNull,
                          uint32_t* size);
int32_t KestGetPropInt(KestContext* handle, const char* name, int32_t* value, int32_t* outNull);
int32_t KestGetPropDouble(KestContext* handle, const char* name, double* value, int32_t* outNull);
int32_t KestGetPropUUID(KestContext* handle, const char* name, UUID* value, int32_t* outNull);
int32_t KestGetPropBool(KestContext* handle, const char* name, int32_t* value, int32_t* outNull);
int32_t KestGetPropDateTime(KestContext* handle, const char* name, char* buffer,
                            int32_t* outNull, uint32_t* size);
int32_t KestGetPropChar(KestContext* handle, const char* name, char* value, int32_t* outNull);
int32_t KestGetPropBinary(KestContext* handle, const char* name, void* buffer, int32_t* outNull,
                          uint32_t* size);

// Typed writes, collected until KestSaveObject (at most 255 per save).
int32_t KestSetPropString(KestContext* handle, const char* name, const char* text,
                          int32_t isNull);
int32_t KestSetPropInt(KestContext* handle, const char* name, int32_t value, int32_t isNull);
int32_t KestSetPropDouble(KestContext* handle, const char* name, double value, int32_t isNull);
int32_t KestSetPropUUID(KestContext* handle, const char* name, const UUID* value, int32_t isNull);
int32_t KestSetPropBool(KestContext* handle, const char* name, int32_t value, int32_t isNull);
int32_t KestSetPropDateTime(KestContext* handle, const char* name, const char* text,
                            int32_t isNull);
int32_t KestSetPropChar(KestContext* handle, const char* name, char value, int32_t isNull);
int32_t KestSetPropBinary(KestContext* handle, const char* name, const void* data,
                          int32_t isNull, uint32_t length);

// ---- Event library -------------------------------------------------------
// Forwards both values to "EmEvt_wto" of "nwuevt.dll" and returns its result;
// 4101 when the library cannot be loaded, 4102 when it lacks the entry point.
int32_t KestEmEvt_wto(uint32_t value1, uint32_t value2);

// ---- Business process views ----------------------------------------------
int32_t KestBPVCreate(KestContext* handle, const char* viewName, UUID* outUuid);
int32_t KestBPVDelete(KestContext* handle, const char* viewName);
int32_t KestBPVPopulate(KestContext* handle, const char* viewName, const char* className);
int32_t KestBPVAddObject(KestContext* handle, const char* viewName, const char* className,
                         const UUID* uuid);
int32_t KestBPVDeleteObject(KestContext* handle, const char* viewName, const char* className,
                            const UUID* uuid);
int32_t KestBPVPopulateVLT_SAN(KestContext* handle, const char* viewName);
int32_t KestBPVAddInclusionObject(KestContext* handle, const char* viewName,
                                  const char* className, const UUID* uuid);

}  // extern "C"
