// Searches of the object model: any object, a machine, a machine's
// container, a container's backup object.
#include <string>

#include "kestorb/ModelKit.h"
#include "kestorb/ObjectModel.h"
#include "kestorb/Text.h"

namespace kest {

int32_t FindObject(KestContext& ctx, const char* cls, const COrbObjectCriteria* criteria,
                   int32_t* count, UUID* out) {
    if (criteria == nullptr) {
        ctx.Trace("FindObject() - Bad COrbObjectCriteria pointer");
        return ORBOM_RC_INVALID_POINTER_PARAMETER;
    }
    if (!criteria->IsAllocated()) {
        ctx.Trace("FindObject() - COrbObjectCriteria not allocated");
        return ORBOM_RC_INVALID_OBJECT;
    }
    static const SelectTexts texts = {
        "FindObject",
        "FindObject() - Setting selection class to [%s]",
        nullptr,
        "FindObject() - Select returned 0 objects",
        "FindObject() - Select returned [%d] object(s).",
        "FindObject() - Got objects UUID",
    };
    return SelectFirstUuid(ctx, texts, cls, criteria, "uuid", count, out);
}

int32_t FindMachine(KestContext& ctx, const KestMachineRecord& machine, int32_t* count,
                    UUID* out) {
    // The record's fields need not be terminated within their 48 bytes.
    char name[sizeof machine.machineName];
    char cls[sizeof machine.machineClass];
    CopyText(name, machine.machineName);
    CopyText(cls, machine.machineClass);
    ctx.Trace("FindMachine() - Searching for machine [%s] of type [%s]", name, cls);
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(ctx, criteria, {TextField("name", name)},
                               "FindMachine() - Failed to allocate Crititeria [%d]");
    if (rc != ORBOM_RC_SUCCESS) return rc;
    rc = FindObject(ctx, cls, &criteria, count, out);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("FindMachine() - Error returned from FindObject [%d]", rc);
    } else {
        ctx.Trace("FindMachine() - Found [%d] machine(s)", *count);
    }
    return rc;
}

int32_t FindKestSpace(KestContext& ctx, KestSpaceFrom from, const char* cls, const UUID& uuid,
                      int32_t* count, UUID* out) {
    *count = 0;
    char className[KESTORB_MAX_CLASS_NAME + 1];
    CopyText(className, cls);
    bool down = from == KestSpaceFrom::Machine;
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(
        ctx, criteria,
        {UuidField(down ? "parent_uuid" : "child_uuid", uuid),
         TextField(down ? "parent_class" : "child_class", className),
         TextField(down ? "child_class" : "parent_class", kKestSpaceClass)},
        "FindKestSpace() - Failed to allocate Crititeria [%d]",
        "FindKestSpace() - Failed to add Crititeria [%d]");
    if (rc != ORBOM_RC_SUCCESS) return rc;
    static const SelectTexts texts = {
        "FindKestSpace",
        nullptr,
        "FindKestSpace() - parent_class [%s]",
        "FindKestSpace() - Select returned 0 objects ",
        "FindKestSpace() - Select returned [%d] objects.",
        "FindKestSpace() - Got kestspace UUID",
    };
    return SelectFirstUuid(ctx, texts, kInclusionClass, &criteria,
                           down ? "child_uuid" : "parent_uuid", count, out, className);
}

int32_t FindKestObject(KestContext& ctx, const UUID& kestSpace, const char* cls, int32_t* count,
                       UUID* out) {
    *count = 0;
    char className[KESTORB_MAX_CLASS_NAME + 1];
    CopyText(className, cls);
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(ctx, criteria,
                               {UuidField("parent_uuid", kestSpace),
                                TextField("parent_class", kKestSpaceClass),
                                TextField("child_class", className)},
                               "FindKestObject() - Failed to allocate Crititeria [%d]",
                               "FindKestObject() - Failed to add Crititeria [%d]");
    if (rc != ORBOM_RC_SUCCESS) return rc;
    static const SelectTexts texts = {
        "FindKestObject",
        nullptr,
        nullptr,
        "FindKestObject() - Select returned 0 objects",
        "FindKestObject() - Select returned [%d] objects.",
        "FindKestObject() - Got [%s] UUID",
    };
    return SelectFirstUuid(ctx, texts, kInclusionClass, &criteria, "child_uuid", count, out, "",
                           className);
}

}  // namespace kest
