// Connection and object writes.
#include "kestorb/OrbRepository.h"

#include <new>

#include "kestorb/OrbObjectCriteria.h"
#include "kestorb/OrbObjectList.h"
#include "kestorb/OrbObjectPropertyList.h"
#include "kestorb/Text.h"

namespace {

ORBOM_CRITERIA HandleOf(const COrbObjectCriteria* criteria) {
    return criteria == nullptr ? 0 : criteria->Handle();
}

}  // namespace

COrbRepository::~COrbRepository() {
    if (IsConnected()) Disonnect();
}

int32_t COrbRepository::SetName(const char* name) {
    kest::CopyText(name_, name);
    return Done(ORBOM_RC_SUCCESS);
}

int32_t COrbRepository::SelectDefault() {
    code_ = ORBOM_Repository_EnumBegin(kernel_, ORBOM_ENUM_DEFAULT_FIRST);
    if (code_ != ORBOM_RC_SUCCESS) return Done(code_);
    char first[ORBOM_MAX_CLASS_NAME + 1] = {};
    code_ = ORBOM_Repository_EnumNext(kernel_, first, sizeof first);
    if (code_ != ORBOM_RC_SUCCESS) return Done(code_);
    kest::CopyText(name_, first);
    return Done(ORBOM_RC_SUCCESS);
}

int32_t COrbRepository::Connect() {
    if (IsConnected()) Disonnect();
    Trace("COrbRepository::Connect() - Connecting to repository [%s]", name_);
    code_ = ORBOM_Repository_Connect(kernel_, name_, &connection_);
    if (code_ != ORBOM_RC_SUCCESS) {
        connection_ = 0;
        Trace("COrbRepository::Connect() - Failed to connect to repository [%d]", code_);
    }
    return Done(code_);
}

int32_t COrbRepository::ConnectAndSignOn(const char* user, const char* password) {
    if (IsConnected()) Disonnect();
    const char* who = user == nullptr ? "" : user;
    Trace("COrbRepository::ConnectAndSignOn() - Connecting to [%s] as [%s]", name_, who);
    code_ = ORBOM_Repository_ConnectAndSignOn(kernel_, name_, &connection_, who,
                                              password == nullptr ? "" : password);
    if (code_ != ORBOM_RC_SUCCESS) {
        connection_ = 0;
        Trace("COrbRepository::ConnectAndSignOn() - Failed to connect and sign on to repository "
              "[%s] as [%s][%d]",
              name_, who, code_);
    }
    return Done(code_);
}

int32_t COrbRepository::Disonnect() {
    if (!IsConnected()) return Done(ORBOM_RC_SUCCESS);
    code_ = ORBOM_Repository_Disconnect(&connection_);
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbRepository::Disonnect() - Failed to disconnect to repository [%d]", code_);
    }
    connection_ = 0;
    return Done(code_);
}

int32_t COrbRepository::ObjectCreate(const char* cls, const COrbObjectPropertyList& properties) {
    code_ = ORBOM_Object_Create(connection_, cls, properties.Handle());
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbRepository::ObjectCreate() - Failed to create object [%d]", code_);
        if (code_ == ORBOM_RC_REPOSITORY_NATIVE_ERROR) {
            char text[ORBOM_NATIVE_ERROR_SIZE] = {};
            int32_t native = 0;
            if (ORBOM_Repository_GetNativeError(connection_, text, sizeof text, &native) ==
                ORBOM_RC_SUCCESS) {
                Trace("COrbRepository::ObjectCreate() - Failed to create object [%d]", native);
            }
        }
    }
    return Done(code_);
}

int32_t COrbRepository::ObjectUpdate(const char* cls, const COrbObjectCriteria* criteria,
                                     const COrbObjectPropertyList& properties, uint32_t* count) {
    char className[ORBOM_MAX_CLASS_NAME + 1];
    kest::CopyText(className, cls);
    uint32_t updated = 0;
    code_ = ORBOM_Object_Update(connection_, className, HandleOf(criteria), properties.Handle(),
                                &updated);
    if (count != nullptr) *count = updated;
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbRepository::ObjectUpdate() - Failed to update object [%d]", code_);
    }
    return Done(code_);
}

int32_t COrbRepository::ObjectDelete(const char* cls, const COrbObjectCriteria* criteria,
                                     uint32_t* count) {
    uint32_t deleted = 0;
    code_ = ORBOM_Object_Delete(connection_, cls, HandleOf(criteria), &deleted);
    if (count != nullptr) *count = deleted;
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbRepository::ObjectDelete() - Failed to delete object [%d]", code_);
    }
    return Done(code_);
}

int32_t COrbRepository::TransactionBegin() {
    code_ = ORBOM_Transaction_Begin(connection_);
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbRepository::TransactionBegin() - Failed to begin transaction [%d]", code_);
    }
    return Done(code_);
}

int32_t COrbRepository::TransactionCommit() {
    code_ = ORBOM_Transaction_Commit(connection_);
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbRepository::TransactionCommit() - Failed to commit transaction [%d]", code_);
    }
    return Done(code_);
}

int32_t COrbRepository::TransactionRollback() {
    code_ = ORBOM_Transaction_Rollback(connection_);
    return Done(code_);
}

COrbObjectList* COrbRepository::NewObjectList() {
    // Unconnected, the list is bound to no connection and its selections fail.
    return new (std::nothrow) COrbObjectList(connection_);
}
