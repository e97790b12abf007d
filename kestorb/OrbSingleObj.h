// COrbSingleObj: the context's accessor for one object known by class and
// UUID. Reads come from a selection made at open (or refresh); writes are
// collected in a pending property list and sent in one update on save. A
// save does not renew the selection: reads return what was selected until
// the caller refreshes or opens again.
#pragma once

#include <cstdint>
#include <memory>

#include "kestorb/OrbBase.h"
#include "kestorb/OrbObjectList.h"
#include "kestorb/OrbObjectPropertyList.h"
#include "platform/uuid.h"

class COrbRepository;

class COrbSingleObj : public COrbBase {
public:
    // Writes the accessor may collect before a save.
    static constexpr uint32_t kPendingCapacity = 255;

    explicit COrbSingleObj(COrbRepository* repository) : repository_(repository) {}
    ~COrbSingleObj() override;  // closes without saving

    int32_t OpenObject(const char* cls, const UUID* uuid);
    int32_t CloseObject(bool save);
    int32_t SaveObject();
    int32_t ResetObject();
    int32_t RefreshObject() { return Done(Select(true)); }
    // 0 when an object is open, 2 when not.
    int32_t IsObjectOpened();
    // outClass must hold 30 bytes.
    int32_t GetOpenObject(char* outClass, UUID* outUuid);

    // Typed reads from the open object's selection (re-selected on demand).
    int32_t GetString(const char* name, char* buffer, int32_t* isNull, uint32_t* size);
    int32_t GetDateTime(const char* name, char* buffer, int32_t* isNull, uint32_t* size);
    int32_t GetBinary(const char* name, void* buffer, int32_t* isNull, uint32_t* size);
    int32_t GetInt(const char* name, int32_t* value, int32_t* isNull);
    int32_t GetDouble(const char* name, double* value, int32_t* isNull);
    int32_t GetUUID(const char* name, UUID* value, int32_t* isNull);
    int32_t GetBool(const char* name, int32_t* value, int32_t* isNull);
    int32_t GetChar(const char* name, char* value, int32_t* isNull);

    // Adds one value to the pending list; no open object is needed until the save.
    int32_t SetObjectProp(uint32_t type, const char* name, uint32_t length, const void* value,
                          int32_t isNull);

private:
    bool IsOpen() const { return className_[0] != '\0'; }
    // Makes sure a selection of the open object exists (force: always anew).
    int32_t Select(bool force);
    int32_t SelectAnew();
    // Runs a read on the current selection, selecting first when needed.
    template <typename Read>
    int32_t ReadWith(Read read);

    char className_[30] = {};
    UUID uuid_{};
    COrbRepository* repository_;
    std::unique_ptr<COrbObjectList> list_;
    std::unique_ptr<COrbObjectPropertyList> pending_;
};
