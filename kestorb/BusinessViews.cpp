// View creation, deletion, population and single members.
#include "kestorb/BusinessViews.h"

#include <memory>

#include "kestorb/ModelKit.h"
#include "kestorb/ObjectModel.h"
#include "kestorb/OrbObjectList.h"
#include "kestorb/Text.h"

namespace kest {
namespace {

constexpr const char* kRootClass = "ManagedObjectRoot";
// The framework's fixed root object, {7A1D44C2-93E5-11CF-A2B8-0040C91F6E2D}.
constexpr UUID kRootUuid = {0x7A1D44C2, 0x93E5, 0x11CF, {0xA2, 0xB8, 0x00, 0x40, 0xC9, 0x1F, 0x6E, 0x2D}};

const char* OrEmpty(const char* text) { return text == nullptr ? "" : text; }

// Links every object of cls under the view; the last link's result.
int32_t LinkAllOfClass(KestContext& ctx, const UUID& view, const char* cls) {
    std::unique_ptr<COrbObjectList> list(ctx.repository->NewObjectList());
    if (!list) return KESTORB_ERR_NEW;
    ctx.Traced(*list);
    int32_t rc = list->SetSelectionClass(cls, "uuid");
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("BPVPopulate() - Error setting selection class on ObjectList [%d]", rc);
        return rc;
    }
    rc = list->Select(nullptr);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("BPVPopulate() - Error ObjectList0>Select() [%d]", rc);
        return rc;
    }
    int32_t last = ORBOM_RC_SUCCESS;
    for (uint32_t i = 0; i < list->Count(); ++i) {
        rc = list->GetNext();
        if (rc != ORBOM_RC_SUCCESS && rc != ORBOM_RC_MORE_DATA) break;
        UUID member{};
        int32_t isNull = 0;
        if (list->GetUUID("uuid", &member, &isNull) != ORBOM_RC_SUCCESS || isNull != 0) continue;
        last = ConnectObjects(ctx, kBusinessViewClass, view, cls, member);
    }
    return last;
}

// Whether an object of cls has the uuid: a link made to one that does not
// (another program deleted it a moment ago) would point at nothing.
int32_t RequireObject(KestContext& ctx, const char* cls, const UUID& uuid) {
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(ctx, criteria, {UuidField("uuid", uuid)}, nullptr);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    int32_t count = 0;
    UUID first{};
    rc = FindObject(ctx, cls, &criteria, &count, &first);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    return count > 0 ? ORBOM_RC_SUCCESS : ORBOM_RC_NO_MATCH;
}

}  // namespace

int32_t CountViews(KestContext& ctx, const char* viewName, int32_t* count, UUID* first) {
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(ctx, criteria, {TextField("name", viewName)}, nullptr);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    return FindObject(ctx, kBusinessViewClass, &criteria, count, first);
}

int32_t BPVFind(KestContext& ctx, const char* viewName, UUID* out) {
    const char* name = OrEmpty(viewName);
    ctx.Trace("BPVFind() - Searching for BusinessView [%s]", name);
    int32_t count = 0;
    int32_t rc = CountViews(ctx, name, &count, out);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    if (count == 0) {
        ctx.Trace("BPVFind() - Failed to find BusinessView [%s]", name);
        return ORBOM_RC_NO_MATCH;
    }
    ctx.Trace("BPVFind() - Found BusinessView [%s]", name);
    return ORBOM_RC_SUCCESS;
}

int32_t BPVCreate(KestContext& ctx, const char* viewName, UUID* out) {
    const char* name = OrEmpty(viewName);
    ctx.Trace("BPVCreate() - [%s]", name);
    // Found or made as one unit: two programs creating the view at once make
    // one view, not two of one name.
    return AsOneUnit(ctx, "BPVCreate", [&] {
        UUID view{};
        if (BPVFind(ctx, name, &view) == ORBOM_RC_SUCCESS) {
            if (out != nullptr) *out = view;
            return ORBOM_RC_SUCCESS;
        }
        static const CreateTexts texts = {
            "BPVCreate() - Failed to allocate property list [%d]",
            "BPVCreate() - Failed to create new UUID [%d]",
            "BPVCreate() - Failed to create object [%d]",
        };
        int32_t rc = CreateWithNewUuid(ctx, kBusinessViewClass,
                                       {TextField("name", name), TextField("label", name)}, texts,
                                       out);
        if (rc == ORBOM_RC_SUCCESS) {
            ctx.Trace("BPVCreate() - [%s] object created [%s]", kBusinessViewClass, name);
        }
        return rc;
    });
}

int32_t BPVDelete(KestContext& ctx, const char* viewName) {
    ctx.Trace("BPVDelete() - [%s]", OrEmpty(viewName));
    UUID view{};
    int32_t rc = BPVFind(ctx, viewName, &view);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    return DeleteObject(ctx, kBusinessViewClass, view);
}

int32_t BPVPopulate(KestContext& ctx, const char* viewName, const char* cls) {
    const char* name = OrEmpty(viewName);
    char className[KESTORB_MAX_CLASS_NAME + 1];
    CopyText(className, cls);
    ctx.Trace("BPVPopulate() - [%s]", name);
    // The view's old members go and the class's objects come as one unit, so
    // no link is left to a view or an object another program deletes.
    return AsOneUnit(ctx, "BPVPopulate", [&] {
        UUID view{};
        int32_t rc = BPVFind(ctx, name, &view);
        if (rc != ORBOM_RC_SUCCESS) {
            ctx.Trace("BPVPopulate() - Business process view [%s] not found", name);
            return rc;
        }
        COrbObjectCriteria criteria;
        rc = BuildCriteria(
            ctx, criteria,
            {UuidField("parent_uuid", view), TextField("parent_class", kBusinessViewClass),
             TextField("child_class", className)},
            "BPVPopulate() - Failed to allocate deletion criteria [%d]");
        if (rc != ORBOM_RC_SUCCESS) return rc;
        uint32_t deleted = 0;
        rc = ctx.repository->ObjectDelete(kInclusionClass, &criteria, &deleted);
        if (rc != ORBOM_RC_SUCCESS && rc != ORBOM_RC_NO_MATCH) {
            ctx.Trace("BPVPopulate() - Failed to delete object of class [%s]", kInclusionClass);
            return rc;
        }
        ctx.Trace("BPVPopulate() - [%lu] objects of class [%s] deleted",
                  static_cast<unsigned long>(deleted), kInclusionClass);
        return LinkAllOfClass(ctx, view, className);
    });
}

int32_t FindInclusion(KestContext& ctx, const char* parentClass, const UUID& parent,
                      const char* childClass, const UUID& child, UUID* link) {
    static const LinkSearchTexts texts = {
        "FindInclusion() - Failed to allocate Crititeria [%d]",
        "FindInclusion() - FindObject returned error [%d]",
    };
    int32_t count = 0;
    UUID first{};
    int32_t rc = FindLinks(ctx, texts, parentClass, parent, childClass, child, &count, &first);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    if (count == 0) return ORBOM_RC_NO_MATCH;
    if (link != nullptr) *link = first;
    return ORBOM_RC_SUCCESS;
}

int32_t BPVAddObject(KestContext& ctx, const char* viewName, const char* cls, const UUID& uuid) {
    ctx.Trace("BPVAddObject() - [%s]", OrEmpty(viewName));
    // The view and the object are found and linked as one unit: neither can
    // be deleted by another program in between.
    return AsOneUnit(ctx, "BPVAddObject", [&] {
        UUID view{};
        int32_t rc = BPVFind(ctx, viewName, &view);
        if (rc != ORBOM_RC_SUCCESS) return rc;
        if (FindInclusion(ctx, kBusinessViewClass, view, cls, uuid, nullptr) == ORBOM_RC_SUCCESS) {
            return ORBOM_RC_SUCCESS;
        }
        rc = RequireObject(ctx, cls, uuid);
        if (rc != ORBOM_RC_SUCCESS) return rc;
        return ConnectObjects(ctx, kBusinessViewClass, view, cls, uuid);
    });
}

int32_t BPVDeleteObject(KestContext& ctx, const char* viewName, const char* cls,
                        const UUID& uuid) {
    ctx.Trace("BPVDeleteObject() - [%s]", OrEmpty(viewName));
    UUID view{};
    int32_t rc = BPVFind(ctx, viewName, &view);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    rc = FindInclusion(ctx, kBusinessViewClass, view, cls, uuid, nullptr);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    return DisconnectObjects(ctx, kBusinessViewClass, view, cls, uuid);
}

int32_t BPVAddInclusionObject(KestContext& ctx, const char* name, const char* cls,
                              const UUID& uuid) {
    ctx.Trace("BPVAddInclusionObject() - [%s]", OrEmpty(name));
    return AsOneUnit(ctx, "BPVAddInclusionObject", [&] {
        if (FindInclusion(ctx, kRootClass, kRootUuid, cls, uuid, nullptr) == ORBOM_RC_SUCCESS) {
            return ORBOM_RC_SUCCESS;
        }
        const int32_t rc = RequireObject(ctx, cls, uuid);
        if (rc != ORBOM_RC_SUCCESS) return rc;
        return ConnectObjects(ctx, kRootClass, kRootUuid, cls, uuid);
    });
}

}  // namespace kest
