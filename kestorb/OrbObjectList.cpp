// Selection cursor and typed property reads.
#include "kestorb/OrbObjectList.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "kestorb/OrbObjectCriteria.h"
#include "kestorb/Text.h"

COrbObjectList::COrbObjectList(ORBOM_CONNECTION connection) : connection_(connection) {
    SetSelectionClass("None", "*");
}

COrbObjectList::~COrbObjectList() { EndSelect(); }

int32_t COrbObjectList::SetSelectionClass(const char* cls, const char* properties) {
    if (IsSelected()) {
        Trace("COrbObjectList::SetSelectionClass() - ORBOM_RC_SELECT_IN_PROGRESS");
        return Done(ORBOM_RC_SELECT_IN_PROGRESS);
    }
    const char* text = properties == nullptr ? "*" : properties;
    size_t length = std::strlen(text);
    properties_.reset(new (std::nothrow) char[length + 1]());
    if (!properties_) {
        Trace("COrbObjectList::SetSelectionClass() - ORBOM_RC_OUT_OF_MEMORY");
        return Done(ORBOM_RC_OUT_OF_MEMORY);
    }
    std::memcpy(properties_.get(), text, length);
    kest::CopyText(className_, cls);
    return Done(ORBOM_RC_SUCCESS);
}

int32_t COrbObjectList::Select(const COrbObjectCriteria* criteria, uint32_t reserved) {
    if (!properties_) {
        Trace("COrbObjectList::Select() - Failed, no class name specified");
        return Done(ORBOM_RC_INVALID_POINTER_PARAMETER);
    }
    EndSelect();
    objectCount_ = 0;
    propertyCount_ = 0;
    uint32_t classCount = 0;
    code_ = ORBOM_ObjectList_Select(connection_, className_,
                                    criteria == nullptr ? 0 : criteria->Handle(),
                                    properties_.get(), reserved, &selection_, &objectCount_,
                                    &classCount, &propertyCount_);
    if (code_ != ORBOM_RC_SUCCESS) {
        selection_ = 0;
        objectCount_ = 0;
        Trace("COrbObjectList::Select() - Failed to select objects [%d]\tClassName<%s>"
              "\tPropertyName<%s>\n",
              code_, className_, properties_.get());
        return Done(code_);
    }
    Trace("ORBOM_ObjectList_Select() - ClassName<%s>\tPropertyName<%s>\tObjects#<%d>"
          "\tProperties#<%d>\n",
          className_, properties_.get(), static_cast<int>(objectCount_),
          static_cast<int>(propertyCount_));
    return Done(code_);
}

int32_t COrbObjectList::GetNext() {
    if (!IsSelected()) {
        Trace("COrbObjectList object not Selected");
        return Done(ORBOM_RC_NO_SELECT);
    }
    current_ = 0;
    code_ = ORBOM_ObjectList_GetNext(selection_, &current_, &remaining_);
    if (code_ != ORBOM_RC_SUCCESS && code_ != ORBOM_RC_MORE_DATA) {
        current_ = 0;
        Trace("COrbObjectList::GetNext() - Failed to get object [%d]", code_);
    }
    return Done(code_);
}

int32_t COrbObjectList::EndSelect() {
    if (!IsSelected()) return Done(ORBOM_RC_SUCCESS);
    current_ = 0;
    code_ = ORBOM_ObjectList_EndSelect(&selection_);
    if (code_ == ORBOM_RC_SUCCESS) selection_ = 0;
    return Done(code_);
}

int32_t COrbObjectList::GetObjectProp(uint32_t type, const char* property, const void** value,
                                      uint8_t* isNull, uint32_t* length) {
    if (current_ == 0) {
        Trace("COrbObjectList object not gotten with GetNext");
        return Done(ORBOM_RC_INVALID_OBJECT);
    }
    if (property == nullptr) {
        Trace("COrbObjectList::GetObjectProp() - NULL property name specified");
        return Done(ORBOM_RC_INVALID_POINTER_PARAMETER);
    }
    uint32_t storedType = 0;
    uint32_t storedLength = 0;
    const void* address = nullptr;
    uint8_t null = 0;
    code_ = ORBOM_Object_GetProperty(current_, property, &storedType, &storedLength, &address,
                                     &null);
    if (code_ != ORBOM_RC_SUCCESS) {
        Trace("COrbObjectList::GetObjectProp() - Failed to get property [%s][%d]", property,
              code_);
        return Done(code_);
    }
    if (storedType != type) {
        Trace("COrbObjectList::GetObjectProp() - Datatype does not match requested Type =[%lu] "
              "Requested = [%lu]",
              static_cast<unsigned long>(storedType), static_cast<unsigned long>(type));
        return Done(ORBOM_RC_INVALID_DATATYPE);
    }
    *value = address;
    *isNull = null != 0 ? 1 : 0;
    *length = storedLength;
    return Done(ORBOM_RC_SUCCESS);
}

int32_t COrbObjectList::GetFixed(uint32_t type, const char* property, void* out, uint32_t size,
                                 int32_t* isNull) {
    if (out == nullptr || isNull == nullptr) return Done(ORBOM_RC_INVALID_POINTER_PARAMETER);
    const void* value = nullptr;
    uint8_t null = 0;
    uint32_t length = 0;
    int32_t rc = GetObjectProp(type, property, &value, &null, &length);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    *isNull = null;
    if (null == 0 && value != nullptr) std::memcpy(out, value, std::min(size, length));
    return rc;
}

int32_t COrbObjectList::GetForBuffer(uint32_t type, const char* property, const void* buffer,
                                     int32_t* isNull, const uint32_t* size, const void** value,
                                     uint32_t* length) {
    *value = nullptr;
    if (buffer == nullptr || isNull == nullptr || size == nullptr) {
        return Done(ORBOM_RC_INVALID_POINTER_PARAMETER);
    }
    uint8_t null = 0;
    const void* address = nullptr;
    int32_t rc = GetObjectProp(type, property, &address, &null, length);
    if (rc != ORBOM_RC_SUCCESS) return rc;
    *isNull = null;
    if (null == 0) *value = address;
    return rc;
}

int32_t COrbObjectList::GetString(const char* property, char* buffer, int32_t* isNull,
                                  uint32_t* size) {
    const void* value = nullptr;
    uint32_t length = 0;
    int32_t rc = GetForBuffer(ORBOM_TYPE_STRING, property, buffer, isNull, size, &value, &length);
    if (value == nullptr || *size == 0) return rc;
    uint32_t n = std::min(length, *size - 1);
    std::memcpy(buffer, value, n);
    buffer[n] = '\0';
    *size = length;
    return rc;
}

int32_t COrbObjectList::GetDateTime(const char* property, char* buffer, int32_t* isNull,
                                    uint32_t* size) {
    const void* value = nullptr;
    uint32_t length = 0;
    int32_t rc =
        GetForBuffer(ORBOM_TYPE_DATETIME, property, buffer, isNull, size, &value, &length);
    if (value == nullptr || *size == 0) return rc;
    // The stored length counts the terminator; the caller's buffer bounds the copy too.
    uint32_t n = std::min(length == 0 ? 0 : length - 1, *size - 1);
    std::memcpy(buffer, value, n);
    buffer[n] = '\0';
    *size = 0;
    return rc;
}

int32_t COrbObjectList::GetBinary(const char* property, void* buffer, int32_t* isNull,
                                  uint32_t* size) {
    const void* value = nullptr;
    uint32_t length = 0;
    int32_t rc = GetForBuffer(ORBOM_TYPE_BINARY, property, buffer, isNull, size, &value, &length);
    if (value == nullptr) return rc;
    std::memcpy(buffer, value, std::min(*size, length));
    *size = length;
    return rc;
}

int32_t COrbObjectList::GetInt(const char* property, int32_t* value, int32_t* isNull) {
    return GetFixed(ORBOM_TYPE_INTEGER, property, value, sizeof *value, isNull);
}
int32_t COrbObjectList::GetDouble(const char* property, double* value, int32_t* isNull) {
    return GetFixed(ORBOM_TYPE_DOUBLE, property, value, sizeof *value, isNull);
}
int32_t COrbObjectList::GetUUID(const char* property, void* value, int32_t* isNull) {
    return GetFixed(ORBOM_TYPE_UUID, property, value, 16, isNull);
}
int32_t COrbObjectList::GetBool(const char* property, int32_t* value, int32_t* isNull) {
    return GetFixed(ORBOM_TYPE_BOOLEAN, property, value, sizeof *value, isNull);
}
int32_t COrbObjectList::GetChar(const char* property, char* value, int32_t* isNull) {
    return GetFixed(ORBOM_TYPE_CHAR, property, value, 1, isNull);
}
