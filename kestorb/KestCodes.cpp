// The code-to-name table: the repository client's names come from its own
// list (ORBOM_RC_FOREACH); the library adds its six.
#include "kestorb/KestCodes.h"

#include "framework/nwomapi/orbom_codes.h"

extern "C" const char* KestCodeName(int32_t code) {
#define KEST_CODE_ROW(number, name) \
    case number:                    \
        return name;
    switch (code) {
        ORBOM_RC_FOREACH(KEST_CODE_ROW)
        case 4097:
            return "KESTORB_ERR_BAD_CONTEXT";
        case 4098:
            return "KESTORB_ERR_ALREADY_EXISTS";
        // Callers have always shown these three under one name; people
        // search their logs for it, so it stays.
        case 4099:
        case 4100:
        case 4101:
            return "KESTORB_ERR_NEW";
        case 4102:
            return "KESTORB_ERR_GETPROCADDRESS";
        default:
            return "UNKNOWN";
    }
#undef KEST_CODE_ROW
}
