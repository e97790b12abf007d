// "VLVCTL.DLL": the backup product's version library as the setup media
// carries it. Setup programs read its version record from the file (see
// backup/setupcls/versionrecord.h); programs may ask it too.
#include "backup/setupcls/versionrecord.h"
#include "platform/win32.h"

ORB_VERSION_RECORD(VLVCTL_MAJOR, VLVCTL_MINOR, VLVCTL_BUILD);

// Major in the high byte, minor in the low one; build in the high word.
extern "C" __attribute__((visibility("default"))) DWORD VlvGetVersion() {
    return (static_cast<DWORD>(VLVCTL_BUILD) << 16) | (VLVCTL_MAJOR << 8) | VLVCTL_MINOR;
}
