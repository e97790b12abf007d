// Criteria building, creation with a fresh UUID, first-object searches.
#include "kestorb/ModelKit.h"

#include "kestorb/OrbObjectPropertyList.h"
#include "platform/uuid.h"

namespace kest {

int32_t BuildCriteria(KestContext& ctx, COrbObjectCriteria& criteria,
                      std::initializer_list<Field> fields, const char* allocFailed,
                      const char* addFailed) {
    ctx.Traced(criteria);
    int32_t rc = criteria.Allocate(static_cast<uint32_t>(fields.size()));
    if (rc != ORBOM_RC_SUCCESS) {
        if (allocFailed != nullptr) ctx.Trace(allocFailed, rc);
        return rc;
    }
    int32_t sum = 0;
    for (const Field& f : fields) sum += criteria.Add(f.name, f.type, f.length, f.value);
    if (sum != 0 && addFailed != nullptr) ctx.Trace(addFailed, sum);
    return sum;
}

int32_t CreateWithNewUuid(KestContext& ctx, const char* cls, std::initializer_list<Field> fields,
                          const CreateTexts& texts, UUID* out) {
    COrbObjectPropertyList properties;
    ctx.Traced(properties);
    int32_t rc = properties.Allocate(static_cast<uint32_t>(fields.size() + 1));
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace(texts.allocFailed, rc);
        return rc;
    }
    UUID uuid{};
    rc = UuidCreate(&uuid);
    if (rc != RPC_S_OK) {
        ctx.Trace(texts.uuidFailed, rc);
        return rc;
    }
    // An object created without one of its values would be wrong, not just
    // incomplete, so a failed add stops the creation.
    rc = properties.Add("uuid", ORBOM_TYPE_UUID, sizeof uuid, &uuid);
    for (auto f = fields.begin(); rc == ORBOM_RC_SUCCESS && f != fields.end(); ++f) {
        rc = properties.Add(f->name, f->type, f->length, f->value);
    }
    if (rc == ORBOM_RC_SUCCESS) rc = ctx.repository->ObjectCreate(cls, properties);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace(texts.createFailed, rc);
        return rc;
    }
    if (out != nullptr) *out = uuid;
    return rc;
}

int32_t SelectFirstUuid(KestContext& ctx, const SelectTexts& t, const char* cls,
                        const COrbObjectCriteria* criteria, const char* property, int32_t* count,
                        UUID* out, const char* afterArg, const char* gotArg) {
    *count = 0;
    std::unique_ptr<COrbObjectList> list(ctx.repository->NewObjectList());
    if (!list) {
        ctx.Trace("%s() - Failed to create new COrbObjectList object [%d]", t.routine,
                  KESTORB_ERR_NEW);
        return KESTORB_ERR_NEW;
    }
    ctx.Traced(*list);
    if (t.beforeSelect != nullptr) ctx.Trace(t.beforeSelect, cls);
    int32_t rc = list->SetSelectionClass(cls, "*");
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("%s() - Failed to set selection class [%d]", t.routine, rc);
        return rc;
    }
    rc = list->Select(criteria);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("%s() - Select Failed [%d]", t.routine, rc);
        return rc;
    }
    if (t.afterSelect != nullptr) ctx.Trace(t.afterSelect, afterArg);
    *count = static_cast<int32_t>(list->Count());
    if (*count == 0) {
        ctx.Trace("%s", t.none);
        return ORBOM_RC_SUCCESS;
    }
    ctx.Trace(t.some, *count);
    list->GetNext();
    UUID found{};
    int32_t isNull = 0;
    rc = list->GetUUID(property, &found, &isNull);
    if (rc != ORBOM_RC_SUCCESS) {
        ctx.Trace("%s() - Error getting UUID [%d]", t.routine, rc);
        return rc;
    }
    if (isNull != 0) {
        *out = UUID{};
        ctx.Trace("%s() - Objects UUID was NULL [%d]", t.routine, ORBOM_RC_UNKNOWN);
        return ORBOM_RC_UNKNOWN;
    }
    *out = found;
    if (t.got != nullptr) ctx.Trace(t.got, gotArg);
    return ORBOM_RC_SUCCESS;
}

std::unique_ptr<COrbObjectList> OpenSelection(KestContext& ctx, const char* cls,
                                              const char* properties,
                                              const COrbObjectCriteria* criteria, int32_t* rc) {
    std::unique_ptr<COrbObjectList> list(ctx.repository->NewObjectList());
    if (!list) {
        *rc = KESTORB_ERR_NEW;
        return nullptr;
    }
    ctx.Traced(*list);
    *rc = list->SetSelectionClass(cls, properties);
    if (*rc == ORBOM_RC_SUCCESS) *rc = list->Select(criteria);
    if (*rc != ORBOM_RC_SUCCESS) return nullptr;
    return list;
}

bool NextObject(COrbObjectList& list) {
    int32_t rc = list.GetNext();
    return rc == ORBOM_RC_SUCCESS || rc == ORBOM_RC_MORE_DATA;
}

bool ReadText(COrbObjectList& list, const char* property, char* buffer, uint32_t size) {
    int32_t isNull = 0;
    uint32_t length = size;
    buffer[0] = '\0';
    return list.GetString(property, buffer, &isNull, &length) == ORBOM_RC_SUCCESS && isNull == 0;
}

bool ReadUuid(COrbObjectList& list, const char* property, UUID* out) {
    int32_t isNull = 0;
    return list.GetUUID(property, out, &isNull) == ORBOM_RC_SUCCESS && isNull == 0;
}

bool ReadInt(COrbObjectList& list, const char* property, int32_t* out) {
    int32_t isNull = 0;
    return list.GetInt(property, out, &isNull) == ORBOM_RC_SUCCESS && isNull == 0;
}

}  // namespace kest
