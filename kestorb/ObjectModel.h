// The backup object model: each machine object gets one container
// ("Sentispace", the KestSpace), and the backup objects hang on the
// container. Every parent-child link is an "Inclusion" object naming both
// ends by UUID and class, with the child's sequence number among its links.
//
// All operations run on a context and return a code: 0, 16 when something
// is not there, 4098 when the object exists already, 4100 when one was
// required and several were found, 4099 when a list could not be made, 3
// when a found object has a null "uuid", otherwise the failing client code.
#pragma once

#include <cstdint>

#include "kestorb/KestContext.h"
#include "kestorb/KestOrb.h"

namespace kest {

inline constexpr const char* kKestSpaceClass = "Sentispace";
inline constexpr const char* kInclusionClass = "Inclusion";

// A link as ConnectObjects made it.
struct LinkRecord {
    UUID link{};
    UUID parent{};
    UUID child{};
    char parentClass[KESTORB_MAX_CLASS_NAME + 1] = {};
    char childClass[KESTORB_MAX_CLASS_NAME + 1] = {};
    int32_t sequence = 0;
};

// Direction of a container search.
enum class KestSpaceFrom { BackupObject = 0, Machine = 1 };

// Counts the objects of cls the criteria match and delivers the first one's
// "uuid" (out left alone when none matched).
int32_t FindObject(KestContext& ctx, const char* cls, const class COrbObjectCriteria* criteria,
                   int32_t* count, UUID* out);
int32_t FindMachine(KestContext& ctx, const KestMachineRecord& machine, int32_t* count, UUID* out);
// From a machine (cls, uuid) down to its container, or from a backup object up.
int32_t FindKestSpace(KestContext& ctx, KestSpaceFrom from, const char* cls, const UUID& uuid,
                      int32_t* count, UUID* out);
int32_t FindKestObject(KestContext& ctx, const UUID& kestSpace, const char* cls, int32_t* count,
                       UUID* out);
int32_t CreateKestSpace(KestContext& ctx, const char* machineName, UUID* out);
int32_t CreateInocObject(KestContext& ctx, const char* cls, const char* objectName, UUID* out);
// Links child under parent; link and record are optional outputs.
int32_t ConnectObjects(KestContext& ctx, const char* parentClass, const UUID& parent,
                       const char* childClass, const UUID& child, UUID* link = nullptr,
                       LinkRecord* record = nullptr);
int32_t DisconnectObjects(KestContext& ctx, const char* parentClass, const UUID& parent,
                          const char* childClass, const UUID& child);
// Counts the links of child under parent and delivers the first one's "uuid".
// The traces (one %d each) tell an allocation failure from a failed search.
struct LinkSearchTexts {
    const char* allocFailed;
    const char* findFailed;
};
int32_t FindLinks(KestContext& ctx, const LinkSearchTexts& texts, const char* parentClass,
                  const UUID& parent, const char* childClass, const UUID& child, int32_t* count,
                  UUID* first);
// Deletes every link that names the object as child.
int32_t DisconnectParents(KestContext& ctx, const char* childClass, const UUID& child);
int32_t DeleteObject(KestContext& ctx, const char* cls, const UUID& uuid);

// Behind the exports.
int32_t AddObject(KestContext& ctx, const char* cls, const KestMachineRecord& machine,
                  const char* objectName, UUID* out);
int32_t FindKestObjectEx(KestContext& ctx, const char* cls, const KestMachineRecord& machine,
                         int32_t* count, UUID* out);
int32_t DeleteKestObject_S(KestContext& ctx, const char* cls, const KestMachineRecord& machine);
int32_t DeleteObject_U(KestContext& ctx, const char* cls, const UUID& uuid);
int32_t SetKestStatus_S(KestContext& ctx, const KestMachineRecord& machine, const char* cls,
                        int32_t status);
int32_t SetKestStatus_U(KestContext& ctx, const char* cls, const UUID& uuid, int32_t status);

}  // namespace kest
