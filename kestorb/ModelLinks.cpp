// Creating, linking, unlinking and deleting objects of the model.
#include <cstdio>

#include "kestorb/ModelKit.h"
#include "kestorb/ObjectModel.h"
#include "kestorb/Text.h"

namespace kest {

int32_t CreateKestSpace(KestContext& ctx, const char* machineName, UUID* out) {
    char name[1024];
    std::snprintf(name, sizeof name, "%s-%s", machineName, kKestSpaceClass);
    static const CreateTexts texts = {
        "CreateKestSpace() - Failed to allocate property list [%d]",
        "CreateKestSpace() - Failed to create new UUID [%d]",
        "CreateKestSpace() - Failed to create object [%d]",
    };
    int32_t rc = CreateWithNewUuid(ctx, kKestSpaceClass,
                                   {TextField("name", name), TextField("label", name)}, texts, out);
    if (rc == ORBOM_RC_SUCCESS) ctx.Trace("CreateKestSpace() - KestSpace object created");
    return rc;
}

int32_t CreateInocObject(KestContext& ctx, const char* cls, const char* objectName, UUID* out) {
    char className[KESTORB_MAX_CLASS_NAME + 1];
    char name[KESTORB_MAX_OBJECT_NAME + 1];
    CopyText(className, cls);
    CopyText(name, objectName);
    ctx.Trace("CreateInocObject() - Starting to [%s] object in Class [%s]", name, className);
    static const CreateTexts texts = {
        "CreateInocObject() - Failed to allocate property list [%d]",
        "CreateInocObject() - Failed to create new UUID [%d]",
        "CreateInocObject() - Failed to create object [%d]",
    };
    int32_t rc = CreateWithNewUuid(ctx, className,
                                   {TextField("name", name), TextField("label", name)}, texts, out);
    if (rc == ORBOM_RC_SUCCESS) {
        ctx.Trace("CreateInocObject() - [%s] object created [%s]", className, name);
    }
    return rc;
}

namespace {

// How many links already name the child; best effort, 0 when unknown.
int32_t CountParents(KestContext& ctx, const char* childClass, const UUID& child) {
    COrbObjectCriteria criteria;
    if (BuildCriteria(ctx, criteria,
                      {UuidField("child_uuid", child), TextField("child_class", childClass)},
                      "ConnectObjects() - Failed to allocate Crititeria [%d]") !=
        ORBOM_RC_SUCCESS) {
        return 0;
    }
    int32_t count = 0;
    UUID first{};
    int32_t rc = FindObject(ctx, kInclusionClass, &criteria, &count, &first);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("ConnectObjects() - FindObject returned error [%d]", rc);
        return 0;
    }
    return count;
}

}  // namespace

int32_t ConnectObjects(KestContext& ctx, const char* parentClass, const UUID& parent,
                       const char* childClass, const UUID& child, UUID* link,
                       LinkRecord* record) {
    char parentName[KESTORB_MAX_CLASS_NAME + 1];
    char childName[KESTORB_MAX_CLASS_NAME + 1];
    CopyText(parentName, parentClass);
    CopyText(childName, childClass);
    int32_t sequence = CountParents(ctx, childName, child);
    static const CreateTexts texts = {
        "ConnectObjects() - Failed to allocate property list [%d]",
        "ConnectObjects() - Failed to create new UUID [%d]",
        "ConnectObjects() - Failed to create inclusion object [%d]",
    };
    UUID created{};
    int32_t rc = CreateWithNewUuid(
        ctx, kInclusionClass,
        {UuidField("parent_uuid", parent), UuidField("child_uuid", child),
         TextField("parent_class", parentName), TextField("child_class", childName),
         IntField("child_sequence_no", sequence)},
        texts, &created);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    ctx.Trace("ConnectObjects() - Inclusion object created. Parent[%s] Child[%s]", parentName,
              childName);
    if (link != nullptr) *link = created;
    if (record != nullptr) {
        record->link = created;
        record->parent = parent;
        record->child = child;
        CopyText(record->parentClass, parentName);
        CopyText(record->childClass, childName);
        record->sequence = sequence;
    }
    return rc;
}

int32_t FindLinks(KestContext& ctx, const LinkSearchTexts& texts, const char* parentClass,
                  const UUID& parent, const char* childClass, const UUID& child, int32_t* count,
                  UUID* first) {
    char parentName[KESTORB_MAX_CLASS_NAME + 1];
    char childName[KESTORB_MAX_CLASS_NAME + 1];
    CopyText(parentName, parentClass);
    CopyText(childName, childClass);
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(ctx, criteria,
                               {UuidField("parent_uuid", parent), UuidField("child_uuid", child),
                                TextField("parent_class", parentName),
                                TextField("child_class", childName)},
                               texts.allocFailed);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    rc = FindObject(ctx, kInclusionClass, &criteria, count, first);
    if (rc != ORBOM_RC_SUCCESS) ctx.Trace(texts.findFailed, rc);
    return rc;
}

int32_t DisconnectObjects(KestContext& ctx, const char* parentClass, const UUID& parent,
                          const char* childClass, const UUID& child) {
    static const LinkSearchTexts texts = {
        "DisconnectObjects() - Failed to allocate Criteria [%d]",
        "DisconnectObjects() - FindObject returned error [%d]",
    };
    int32_t count = 0;
    UUID link{};
    int32_t rc = FindLinks(ctx, texts, parentClass, parent, childClass, child, &count, &link);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    if (count == 0) return ORBOM_RC_NO_MATCH;
    if (count > 1) return KESTORB_ERR_NOT_UNIQUE;
    return DeleteObject(ctx, kInclusionClass, link);
}

int32_t DisconnectParents(KestContext& ctx, const char* childClass, const UUID& child) {
    char childName[KESTORB_MAX_CLASS_NAME + 1];
    CopyText(childName, childClass);
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(ctx, criteria,
                               {UuidField("child_uuid", child), TextField("child_class", childName)},
                               "DisconnectParents() - Failed to allocate Criteria [%d]");
    if (rc != ORBOM_RC_SUCCESS) return rc;
    uint32_t deleted = 0;
    rc = ctx.repository->ObjectDelete(kInclusionClass, &criteria, &deleted);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("DisconnectParents() - Error returned from ObjectDelete [%d]", rc);
    } else {
        ctx.Trace("DisconnectParents() - [%d] object(s) deleted", static_cast<int>(deleted));
    }
    return rc;
}

int32_t DeleteObject(KestContext& ctx, const char* cls, const UUID& uuid) {
    char className[KESTORB_MAX_CLASS_NAME + 1];
    CopyText(className, cls);
    COrbObjectCriteria criteria;
    int32_t rc = BuildCriteria(ctx, criteria, {UuidField("uuid", uuid)},
                               "DeleteObject() - Failed to allocate Crititeria [%d]",
                               "DeleteObject() - Failed to add crititeria property [%d]");
    if (rc != ORBOM_RC_SUCCESS) return rc;
    uint32_t deleted = 0;
    rc = ctx.repository->ObjectDelete(className, &criteria, &deleted);
    if (rc == ORBOM_RC_SUCCESS) {
        ctx.Trace("DeleteObject() - Object of class [%s] deleted", className);
    } else {
        ctx.Trace("DeleteObject() - Failed to delete object of class [%s]", className);
    }
    return rc;
}

}  // namespace kest
