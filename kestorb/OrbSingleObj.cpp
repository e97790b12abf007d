// Single-object access: open, select, typed reads, pending writes, save.
#include "kestorb/OrbSingleObj.h"

#include <cstring>
#include <new>

#include "kestorb/OrbObjectCriteria.h"
#include "kestorb/OrbRepository.h"
#include "kestorb/Text.h"

COrbSingleObj::~COrbSingleObj() { CloseObject(false); }

int32_t COrbSingleObj::OpenObject(const char* cls, const UUID* uuid) {
    if (kest::IsEmpty(cls) || uuid == nullptr) {
        Trace("COrbSingleObj::OpenObject() - Bad pointer value");
        return Done(ORBOM_RC_INVALID_POINTER_PARAMETER);
    }
    CloseObject(false);
    kest::CopyText(className_, cls);
    uuid_ = *uuid;
    int32_t rc = Select(true);
    if (rc != ORBOM_RC_SUCCESS) {
        className_[0] = '\0';
        uuid_ = UUID{};
    }
    return Done(rc);
}

int32_t COrbSingleObj::Select(bool force) {
    if (!force) {
        if (list_) return ORBOM_RC_SUCCESS;
        if (!IsOpen()) {
            Trace("COrbSingleObj::GetObject() - Object not opened");
            return ORBOM_RC_INVALID_POINTER_PARAMETER;
        }
    }
    list_.reset();
    int32_t rc = SelectAnew();
    if (rc != ORBOM_RC_SUCCESS) list_.reset();
    return rc;
}

int32_t COrbSingleObj::SelectAnew() {
    list_.reset(repository_ == nullptr ? nullptr : repository_->NewObjectList());
    if (!list_) {
        Trace("COrbSingleObj::Select() - Error creating new COrbObjectPropertyList");
        return ORBOM_RC_UNKNOWN;
    }
    list_->SetTracePath(GetTracePath());
    int32_t rc = list_->SetSelectionClass(className_, "*");
    if (rc != ORBOM_RC_SUCCESS) {
        Trace("COrbSingleObj::Select() - Error setting selection class [%d]", rc);
        return rc;
    }
    COrbObjectCriteria criteria;
    criteria.SetTracePath(GetTracePath());
    rc = criteria.Allocate(1);
    if (rc != ORBOM_RC_SUCCESS) {
        Trace("COrbSingleObj::Select() - Error allocating criteria [%d]", rc);
        return rc;
    }
    rc = criteria.Add("uuid", ORBOM_TYPE_UUID, sizeof uuid_, &uuid_);
    if (rc == ORBOM_RC_SUCCESS) rc = list_->Select(&criteria);
    if (rc != ORBOM_RC_SUCCESS) {
        Trace("COrbSingleObj::Select() - Error selecting object [%d]", rc);
        return rc;
    }
    if (list_->Count() != 1) return ORBOM_RC_NO_MATCH;
    rc = list_->GetNext();
    return rc == ORBOM_RC_MORE_DATA ? ORBOM_RC_SUCCESS : rc;
}

int32_t COrbSingleObj::CloseObject(bool save) {
    list_.reset();
    int32_t rc = save ? SaveObject() : ORBOM_RC_SUCCESS;
    pending_.reset();
    className_[0] = '\0';
    uuid_ = UUID{};
    return Done(rc);
}

int32_t COrbSingleObj::SaveObject() {
    if (!IsOpen()) {
        Trace("COrbSingleObj::SaveObject() - Object not opened sucessfully. Class name not "
              "avaliable [%d]",
              ORBOM_RC_MISSING_CLASS_NAME);
        return Done(ORBOM_RC_MISSING_CLASS_NAME);
    }
    if (!pending_) {
        Trace("COrbSingleObj::SaveObject() - Nothing is modified, no changes to save.");
        return Done(ORBOM_RC_SUCCESS);
    }
    COrbObjectCriteria criteria;
    criteria.SetTracePath(GetTracePath());
    int32_t rc = criteria.Allocate(1);
    // Without its criterion the update would reach every object of the class.
    if (rc == ORBOM_RC_SUCCESS) rc = criteria.Add("uuid", ORBOM_TYPE_UUID, sizeof uuid_, &uuid_);
    if (rc != ORBOM_RC_SUCCESS) return Done(rc);
    uint32_t count = 0;
    rc = repository_->ObjectUpdate(className_, &criteria, *pending_, &count);
    // A failed save keeps the changes, so the caller can retry them.
    if (rc == ORBOM_RC_SUCCESS) pending_.reset();
    return Done(rc);
}

int32_t COrbSingleObj::ResetObject() {
    pending_.reset();
    return Done(ORBOM_RC_SUCCESS);
}

int32_t COrbSingleObj::IsObjectOpened() {
    return Done(IsOpen() ? ORBOM_RC_SUCCESS : ORBOM_RC_CANCEL);
}

int32_t COrbSingleObj::GetOpenObject(char* outClass, UUID* outUuid) {
    if (outClass == nullptr || outUuid == nullptr) {
        Trace("COrbSingleObj::GetOpenObject() - Bad pointer passed");
        return Done(ORBOM_RC_INVALID_POINTER_PARAMETER);
    }
    if (!IsOpen()) {
        Trace("COrbSingleObj::GetOpenObject() - Object not opened sucessfully. Class name not "
              "avaliable [%d]",
              ORBOM_RC_MISSING_CLASS_NAME);
        return Done(ORBOM_RC_MISSING_CLASS_NAME);
    }
    std::memcpy(outClass, className_, sizeof className_);
    *outUuid = uuid_;
    return Done(ORBOM_RC_SUCCESS);
}

template <typename Read>
int32_t COrbSingleObj::ReadWith(Read read) {
    int32_t rc = Select(false);
    if (rc != ORBOM_RC_SUCCESS) {
        Trace("COrbSingleObj::GetObjectPropXXX() - No COrbObjectList object");
        return Done(rc);
    }
    return Done(read(*list_));
}

int32_t COrbSingleObj::GetString(const char* name, char* buffer, int32_t* isNull,
                                 uint32_t* size) {
    return ReadWith([&](COrbObjectList& l) { return l.GetString(name, buffer, isNull, size); });
}
int32_t COrbSingleObj::GetDateTime(const char* name, char* buffer, int32_t* isNull,
                                   uint32_t* size) {
    return ReadWith([&](COrbObjectList& l) { return l.GetDateTime(name, buffer, isNull, size); });
}
int32_t COrbSingleObj::GetBinary(const char* name, void* buffer, int32_t* isNull,
                                 uint32_t* size) {
    return ReadWith([&](COrbObjectList& l) { return l.GetBinary(name, buffer, isNull, size); });
}
int32_t COrbSingleObj::GetInt(const char* name, int32_t* value, int32_t* isNull) {
    return ReadWith([&](COrbObjectList& l) { return l.GetInt(name, value, isNull); });
}
int32_t COrbSingleObj::GetDouble(const char* name, double* value, int32_t* isNull) {
    return ReadWith([&](COrbObjectList& l) { return l.GetDouble(name, value, isNull); });
}
int32_t COrbSingleObj::GetUUID(const char* name, UUID* value, int32_t* isNull) {
    return ReadWith([&](COrbObjectList& l) { return l.GetUUID(name, value, isNull); });
}
int32_t COrbSingleObj::GetBool(const char* name, int32_t* value, int32_t* isNull) {
    return ReadWith([&](COrbObjectList& l) { return l.GetBool(name, value, isNull); });
}
int32_t COrbSingleObj::GetChar(const char* name, char* value, int32_t* isNull) {
    return ReadWith([&](COrbObjectList& l) { return l.GetChar(name, value, isNull); });
}

int32_t COrbSingleObj::SetObjectProp(uint32_t type, const char* name, uint32_t length,
                                     const void* value, int32_t isNull) {
    if (!pending_) {
        pending_.reset(new (std::nothrow) COrbObjectPropertyList);
        if (!pending_) {
            Trace("COrbSingleObj::SetObjectProp() - No COrbObjectPropertyList object");
            return Done(ORBOM_RC_INVALID_OBJECT);
        }
        pending_->SetTracePath(GetTracePath());
        int32_t rc = pending_->Allocate(kPendingCapacity);
        if (rc != ORBOM_RC_SUCCESS) {
            Trace("COrbSingleObj::SetObjectProp() - Error allocating property list [%d]", rc);
            return Done(rc);
        }
    }
    return Done(pending_->Add(name, type, length, value, isNull != 0 ? 1 : 0));
}
