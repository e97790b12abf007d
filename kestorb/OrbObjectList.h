// COrbObjectList: one selection cursor on a connection, and typed reads of
// the object it is on. The client keeps the object's values until the next
// GetNext or EndSelect, so reads copy them out into the caller's buffers.
#pragma once

#include <cstdint>
#include <memory>

#include "framework/nwomapi/nwomapi.h"
#include "kestorb/OrbBase.h"

class COrbObjectCriteria;

class COrbObjectList : public COrbBase {
public:
    explicit COrbObjectList(ORBOM_CONNECTION connection);
    ~COrbObjectList() override;

    // 12 while a selection is active; properties none means "*".
    int32_t SetSelectionClass(const char* cls, const char* properties);
    // criteria none (or not allocated) selects every object of the class.
    int32_t Select(const COrbObjectCriteria* criteria, uint32_t reserved = 0);
    uint32_t Count() const { return objectCount_; }
    uint32_t PropertyCount() const { return propertyCount_; }
    // The client's code: 0 or 14 when an object was delivered.
    int32_t GetNext();
    int32_t EndSelect();
    bool IsSelected() const { return selection_ != 0; }

    // The current object's property, if stored with the requested type.
    int32_t GetObjectProp(uint32_t type, const char* property, const void** value,
                          uint8_t* isNull, uint32_t* length);

    // Typed reads; nothing is copied when the read fails or the value is
    // null. Buffer reads never write more than *size bytes.
    int32_t GetString(const char* property, char* buffer, int32_t* isNull, uint32_t* size);
    int32_t GetDateTime(const char* property, char* buffer, int32_t* isNull, uint32_t* size);
    int32_t GetBinary(const char* property, void* buffer, int32_t* isNull, uint32_t* size);
    int32_t GetInt(const char* property, int32_t* value, int32_t* isNull);
    int32_t GetDouble(const char* property, double* value, int32_t* isNull);
    int32_t GetUUID(const char* property, void* value, int32_t* isNull);
    int32_t GetBool(const char* property, int32_t* value, int32_t* isNull);
    int32_t GetChar(const char* property, char* value, int32_t* isNull);

private:
    // Reads a value of a fixed size into out.
    int32_t GetFixed(uint32_t type, const char* property, void* out, uint32_t size,
                     int32_t* isNull);
    // Reads a value for a buffer read; value is null when there is nothing to copy.
    int32_t GetForBuffer(uint32_t type, const char* property, const void* buffer,
                         int32_t* isNull, const uint32_t* size, const void** value,
                         uint32_t* length);

    ORBOM_CONNECTION connection_;
    ORBOM_SELECTION selection_ = 0;
    ORBOM_OBJECT current_ = 0;
    uint32_t remaining_ = 0;  // the second get-next result
    std::unique_ptr<char[]> properties_;
    char className_[ORBOM_MAX_CLASS_NAME + 1] = {};
    uint32_t objectCount_ = 0;
    uint32_t propertyCount_ = 0;
};
