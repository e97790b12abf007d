// COrbRepository: one connection to a named repository, and the object
// writes (create, update, delete) made on it.
#pragma once

#include "framework/nwomapi/nwomapi.h"
#include "kestorb/OrbBase.h"

class COrbObjectCriteria;
class COrbObjectList;
class COrbObjectPropertyList;

class COrbRepository : public COrbBase {
public:
    explicit COrbRepository(ORBOM_KERNEL kernel) : kernel_(kernel) {}
    ~COrbRepository() override;  // disconnects

    // Cut to 29 characters; none gives an empty name.
    int32_t SetName(const char* name);
    const char* GetName() const { return name_; }
    // Takes the first repository the kernel lists (the machine's default).
    int32_t SelectDefault();

    bool IsConnected() const { return connection_ != 0; }
    int32_t Connect();
    int32_t ConnectAndSignOn(const char* user, const char* password);
    int32_t Disonnect();
    ORBOM_CONNECTION Handle() const { return connection_; }

    int32_t ObjectCreate(const char* cls, const COrbObjectPropertyList& properties);
    int32_t ObjectUpdate(const char* cls, const COrbObjectCriteria* criteria,
                         const COrbObjectPropertyList& properties, uint32_t* count);
    int32_t ObjectDelete(const char* cls, const COrbObjectCriteria* criteria, uint32_t* count);

    // A unit of work on the connection (nwomapi.h): the writes between Begin
    // and Commit happen together or not at all, and no other program's unit
    // runs in between.
    int32_t TransactionBegin();
    int32_t TransactionCommit();
    int32_t TransactionRollback();

    // A selection cursor on this connection, owned by the caller; none when
    // out of memory.
    COrbObjectList* NewObjectList();

private:
    ORBOM_KERNEL kernel_;
    ORBOM_CONNECTION connection_ = 0;
    char name_[ORBOM_MAX_REPOSITORY_NAME + 1] = {};
};
