// Deletion of the published classes.
#include "publisher/DeleteObjects.h"

#include <cstdint>

#include "framework/nwomapi/nwomapi.h"
#include "publisher/PublisherLog.h"

namespace publisher {
namespace {

constexpr const char* kPublishedClasses[] = {"Vaultline", "VLO", "LumoraEB", "LumoraVB"};

bool NothingToDelete(ORBOM_RC rc) {
    return rc == ORBOM_RC_INVALID_CLASS || rc == ORBOM_RC_NO_MATCH;
}

// Deletes every object of the four classes; *total counts what went.
ORBOM_RC DeleteClasses(ORBOM_CONNECTION connection, unsigned long* total) {
    ORBOM_CRITERIA criteria = 0;
    // An empty list matches every object.
    ORBOM_RC rc = ORBOM_Criteria_Allocate(&criteria, 20);
    if (rc != 0) return rc;
    for (const char* cls : kPublishedClasses) {
        uint32_t count = 0;
        rc = ORBOM_Object_Delete(connection, cls, criteria, &count);
        if (rc == 0) *total += count;
        if (NothingToDelete(rc)) rc = 0;
        if (rc != 0) break;
    }
    ORBOM_Criteria_Free(&criteria);
    return rc;
}

}  // namespace

int DeletePublishedObjects(const std::string& repository, const PublisherUi& ui) {
    if (!UiConfirm(ui, UiText(ui, 16))) return 0;
    UiStatus(ui, UiText(ui, 18));
    ORBOM_KERNEL kernel = 0;
    ORBOM_RC rc = ORBOM_Kernel_Start("VaultlineObjectDeletion", &kernel, 0);
    if (kernel == 0) {
        if (rc == 0) rc = ORBOM_RC_UNKNOWN;
        UiMessage(ui, UiTextWith(ui, 12, std::to_string(rc)));
        WriteLogF("ORBOM_Kernel_Start Fails! rc = %d\n", rc);
        return 0;
    }
    ORBOM_CONNECTION connection = 0;
    rc = ORBOM_Repository_Connect(kernel, repository.c_str(), &connection);
    if (rc != 0) {
        UiMessage(ui, UiTextWith(ui, 13, std::to_string(rc)));
        WriteLogF("ORBOM_Repository_Connect Repository Fails! rc = %d\n", rc);
        ORBOM_Kernel_Stop(&kernel);
        return 0;
    }
    unsigned long total = 0;
    rc = DeleteClasses(connection, &total);
    if (rc == 0) {
        WriteLogF("There were %lu Lumora object(s) deleted successfully.\n", total);
        UiMessage(ui, total != 0 ? UiTextWith(ui, 15, std::to_string(total)) : UiText(ui, 17));
    } else {
        UiMessage(ui, UiTextWith(ui, 14, std::to_string(rc)));
        WriteLogF("ORBOM_Object_Delete fails! rc = %d\n", rc);
    }
    ORBOM_Repository_Disconnect(&connection);
    ORBOM_Kernel_Stop(&kernel);
    if (rc != 0) return 0;
    UiStatus(ui, UiText(ui, 9));
    return 1;
}

}  // namespace publisher
