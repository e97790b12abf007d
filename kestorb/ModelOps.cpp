// The operations behind the object-model exports.
#include "kestorb/ModelKit.h"
#include "kestorb/ObjectModel.h"
#include "kestorb/OrbObjectPropertyList.h"
#include "kestorb/Text.h"

namespace kest {
namespace {

// The machine's container: found, or created and linked on first use.
int32_t FindOrCreateKestSpace(KestContext& ctx, const KestMachineRecord& machine,
                              const UUID& machineUuid, UUID* kestSpace) {
    char cls[sizeof machine.machineClass];
    char name[sizeof machine.machineName];
    CopyText(cls, machine.machineClass);
    CopyText(name, machine.machineName);
    int32_t count = 0;
    int32_t rc = FindKestSpace(ctx, KestSpaceFrom::Machine, cls, machineUuid, &count, kestSpace);
    if (rc != ORBOM_RC_SUCCESS || count > 0) return rc;
    rc = CreateKestSpace(ctx, name, kestSpace);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("AddObject() - Error creating KestSpace object. [%d]", rc);
        return rc;
    }
    ctx.Trace("AddObject() - created KestSpace object [%s]", name);
    rc = ConnectObjects(ctx, cls, machineUuid, kKestSpaceClass, *kestSpace);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("AddObject() - Error connecting KestSpace object [%d]", rc);
        return rc;
    }
    ctx.Trace("AddObject() - Connected to KestSpace object [%s]", cls);
    return rc;
}

// Exactly one machine of the record's class and name.
int32_t FindUniqueMachine(KestContext& ctx, const char* routine, const KestMachineRecord& machine,
                          UUID* out) {
    int32_t count = 0;
    int32_t rc = FindMachine(ctx, machine, &count, out);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("%s() - Error returned from FindMachine [%d].", routine, rc);
        return rc;
    }
    if (count == 0) {
        ctx.Trace("%s() - Machine not found [%d]", routine, ORBOM_RC_NO_MATCH);
        return ORBOM_RC_NO_MATCH;
    }
    if (count > 1) {
        ctx.Trace("%s() - Unique machine not found.", routine);
        return KESTORB_ERR_NOT_UNIQUE;
    }
    ctx.Trace("%s() - Machine found", routine);
    return ORBOM_RC_SUCCESS;
}

int32_t AddObjectSteps(KestContext& ctx, const char* cls, const KestMachineRecord& machine,
                       const char* objectName, UUID* out) {
    char className[KESTORB_MAX_CLASS_NAME + 1];
    char name[KESTORB_MAX_OBJECT_NAME + 1];
    CopyText(className, cls);
    CopyText(name, objectName);
    UUID machineUuid{};
    int32_t rc = FindUniqueMachine(ctx, "AddObject", machine, &machineUuid);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    UUID kestSpace{};
    rc = FindOrCreateKestSpace(ctx, machine, machineUuid, &kestSpace);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    int32_t count = 0;
    UUID existing{};
    rc = FindKestObject(ctx, kestSpace, className, &count, &existing);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("AddObject() - Error returned from FindKestObject [%d].", rc);
        return rc;
    }
    if (count > 0) {
        *out = existing;
        ctx.Trace("AddObject() - FindKestObject found [%d] object(s) of class [%s]. [%d].", count,
                  className, KESTORB_ERR_ALREADY_EXISTS);
        return KESTORB_ERR_ALREADY_EXISTS;
    }
    UUID created{};
    rc = CreateInocObject(ctx, className, name, &created);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("AddObject() - Error creating [%s] object. [%d]", className, rc);
        return rc;
    }
    ctx.Trace("AddObject() - Created a object [%s] in the class [%s]", name, className);
    rc = ConnectObjects(ctx, kKestSpaceClass, kestSpace, className, created);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("AddObject() - Error connecting [%s] object. [%d]", className, rc);
        return rc;
    }
    *out = created;
    ctx.Trace("AddObject() - Connected [%s] object", className);
    return rc;
}

}  // namespace

int32_t AddObject(KestContext& ctx, const char* cls, const KestMachineRecord& machine,
                  const char* objectName, UUID* out) {
    // The machine's container, its link, the object and its link come into
    // being together: a failure or a crash half way leaves none of them, and
    // two programs adding the same machine's object find each other's work.
    UUID created{};
    const int32_t rc = AsOneUnit(
        ctx, "AddObject", [&] { return AddObjectSteps(ctx, cls, machine, objectName, &created); });
    // 4098 hands back the existing object, though nothing was written.
    if (rc == ORBOM_RC_SUCCESS || rc == KESTORB_ERR_ALREADY_EXISTS) *out = created;
    return rc;
}

int32_t FindKestObjectEx(KestContext& ctx, const char* cls, const KestMachineRecord& machine,
                         int32_t* count, UUID* out) {
    char className[KESTORB_MAX_CLASS_NAME + 1];
    char machineClass[sizeof machine.machineClass];
    CopyText(className, cls);
    CopyText(machineClass, machine.machineClass);
    UUID machineUuid{};
    int32_t rc = FindUniqueMachine(ctx, "FindKestObjectEx", machine, &machineUuid);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    int32_t spaces = 0;
    UUID kestSpace{};
    rc = FindKestSpace(ctx, KestSpaceFrom::Machine, machineClass, machineUuid, &spaces, &kestSpace);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    if (spaces == 0) {
        ctx.Trace("FindKestObjectEx() - Unable to find KestSpace object [%d]", ORBOM_RC_NO_MATCH);
        return ORBOM_RC_NO_MATCH;
    }
    if (spaces > 1) {
        ctx.Trace("FindKestObjectEx() - Unable to find unique KestSpace object. [%d] objects "
                  "found [%d]",
                  spaces, KESTORB_ERR_NOT_UNIQUE);
        return KESTORB_ERR_NOT_UNIQUE;
    }
    int32_t found = 0;
    UUID first{};
    rc = FindKestObject(ctx, kestSpace, className, &found, &first);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("FindKestObjectEx() - Error returned from FindKestObject [%d].", rc);
        return rc;
    }
    ctx.Trace("FindKestObjectEx() - FindKestObject found [%d] object(s) of class [%s].", found,
              className);
    *count = found;
    if (found == 0) return ORBOM_RC_NO_MATCH;
    *out = first;
    return ORBOM_RC_SUCCESS;
}

int32_t DeleteKestObject_S(KestContext& ctx, const char* cls, const KestMachineRecord& machine) {
    int32_t count = 0;
    UUID uuid{};
    int32_t rc = FindKestObjectEx(ctx, cls, machine, &count, &uuid);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    return DeleteObject_U(ctx, cls, uuid);
}

namespace {

// How many links still hang under the container.
int32_t CountChildren(KestContext& ctx, const UUID& kestSpace, int32_t* count) {
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(
        ctx, criteria,
        {UuidField("parent_uuid", kestSpace), TextField("parent_class", kKestSpaceClass)},
        "DeleteObject_U() - Failed to allocate Crititeria [%d]");
    if (rc != ORBOM_RC_SUCCESS) return rc;
    UUID first{};
    rc = FindObject(ctx, kInclusionClass, &criteria, count, &first);
    if (rc != ORBOM_RC_SUCCESS) ctx.Trace("DeleteObject_U() - FindObject returned error [%d]", rc);
    return rc;
}

int32_t DeleteObjectSteps(KestContext& ctx, const char* cls, const UUID& uuid) {
    char className[KESTORB_MAX_CLASS_NAME + 1];
    CopyText(className, cls);
    int32_t spaces = 0;
    UUID kestSpace{};
    int32_t rc =
        FindKestSpace(ctx, KestSpaceFrom::BackupObject, className, uuid, &spaces, &kestSpace);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("DeleteObject_U() - Error returned from FindKestSpace [%d]", rc);
        return rc;
    }
    if (spaces != 1) {
        ctx.Trace("%s", spaces == 0 ? "DeleteObject_U() - No KestSpace objects found"
                                    : "DeleteObject_U() - Unique KestSpace object not found.");
        return DeleteObject(ctx, className, uuid);
    }
    ctx.Trace("DeleteObject_U() - Unique KestSpace object found");
    DisconnectParents(ctx, className, uuid);
    rc = DeleteObject(ctx, className, uuid);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    int32_t remaining = 0;
    rc = CountChildren(ctx, kestSpace, &remaining);
    // A container whose children cannot be counted is kept: deleting it
    // could orphan objects still linked under it.
    if (rc != ORBOM_RC_SUCCESS || remaining > 0) return rc;
    DisconnectParents(ctx, kKestSpaceClass, kestSpace);
    rc = DeleteObject(ctx, kKestSpaceClass, kestSpace);
    if (rc == ORBOM_RC_SUCCESS) {
        ctx.Trace("DeleteObject_U() - KestSpace object deleted");
    } else {
        ctx.Trace("DeleteObject_U() - Error deleting KestSpace object [%d]", rc);
    }
    return rc;
}

}  // namespace

int32_t DeleteObject_U(KestContext& ctx, const char* cls, const UUID& uuid) {
    // The object goes with its links and, when it was the last one, its
    // container: never an unlinked object or an empty container left behind.
    return AsOneUnit(ctx, "DeleteObject_U", [&] { return DeleteObjectSteps(ctx, cls, uuid); });
}

int32_t SetKestStatus_S(KestContext& ctx, const KestMachineRecord& machine, const char* cls,
                        int32_t status) {
    int32_t count = 0;
    UUID uuid{};
    int32_t rc = FindKestObjectEx(ctx, cls, machine, &count, &uuid);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    ctx.Trace("SetKestStatus_S() - FindKestObjectEx found [%d] object(s)", count);
    if (count > 1) {
        char className[KESTORB_MAX_CLASS_NAME + 1];
        CopyText(className, cls);
        ctx.Trace("SetKestStatus_S() - Unique [%s] object not found", className);
        return KESTORB_ERR_NOT_UNIQUE;
    }
    return SetKestStatus_U(ctx, cls, uuid, status);
}

int32_t SetKestStatus_U(KestContext& ctx, const char* cls, const UUID& uuid, int32_t status) {
    char className[KESTORB_MAX_CLASS_NAME + 1];
    CopyText(className, cls);
    COrbObjectCriteria criteria;
    ctx.Traced(criteria);
    int32_t rc = criteria.Allocate(1);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("SetKestStatus_U() - Failed to allocate Criteria [%d]", rc);
        return rc;
    }
    COrbObjectPropertyList update;
    ctx.Traced(update);
    rc = update.Allocate(1);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("SetKestStatus_U() - Failed to allocate UpdateList [%d]", rc);
        return rc;
    }
    // Without its criterion the update would reach every object of the class.
    rc = criteria.Add("uuid", ORBOM_TYPE_UUID, sizeof uuid, &uuid);
    if (rc == ORBOM_RC_SUCCESS) rc = update.Add("status", ORBOM_TYPE_INTEGER, sizeof status, &status);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("SetKestStatus_U() - Error updating objects [%d]", rc);
        return rc;
    }
    uint32_t updated = 0;
    rc = ctx.repository->ObjectUpdate(className, &criteria, update, &updated);
    if (rc == ORBOM_RC_SUCCESS) {
        ctx.Trace("SetKestStatus_U() - [%d] object(s) updated", static_cast<int>(updated));
    } else {
        ctx.Trace("SetKestStatus_U() - Error updating objects [%d]", rc);
    }
    return rc;
}

}  // namespace kest
