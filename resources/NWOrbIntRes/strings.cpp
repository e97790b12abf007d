// The string table and dialog of "NWOrbIntRes.dll". Texts 3, 12, 13, 14
// and 15 are formats: 3 takes the server name (%s), the others one number
// (%d for codes, %u for the deleted count). Dialog 102's caption must stay
// equal to text 24: a second start finds the first by that title.
#include <cstddef>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const char* const kTitle = "Lumora Vaultline Orb Object Creation";

const char* const kStrings[] = {
    nullptr,                                                                  // 0
    "&Start",                                                                 // 1
    "St&op",                                                                  // 2
    "Processing backup server %s",                                            // 3
    "Building the business process views...",                                 // 4
    "Object library loaded.",                                                 // 5
    "Business process view created.",                                         // 6
    "A business process view could not be created or included.",              // 7
    "The object library could not open the repository.",                      // 8
    "Done.",                                                                  // 9
    "Stopping...",                                                            // 10
    "Stopped.",                                                               // 11
    "The repository kernel could not be started (code %d).",                  // 12
    "The connection to the repository failed (code %d).",                     // 13
    "Deleting the published objects failed (code %d).",                       // 14
    "%u Lumora object(s) deleted.",                                           // 15
    "Delete every Lumora backup-server object that earlier runs published?",  // 16
    "There were no Lumora objects to delete.",                                // 17
    "Deleting the published objects...",                                      // 18
    "A business process view could not be filled.",                           // 19
    "Discovery records processed",                                            // 20
    "Backup objects published",                                               // 21
    "&Delete published objects first",                                        // 22
    "C&reate objects",                                                        // 23
    kTitle,                                                                   // 24
    "VaultlineOrb.htm",                                                       // 25
};

// Dialog 102, the publisher's main dialog, top to bottom.
const char* const kDialog102 =
    "1002 text\n"
    "1012 animation\n"
    "1003 counter #20\n"
    "1004 counter #21\n"
    "1009 check #22\n"
    "1015 check #23\n"
    "1013 check &Update existing objects\n"
    "1 button #1\n"
    "2 button &Close\n"
    "9 button &Help\n";

}  // namespace

EXPORT const char* OrbResourceString(unsigned id) {
    return id < sizeof kStrings / sizeof kStrings[0] ? kStrings[id] : nullptr;
}

EXPORT const char* OrbResourceDialogCaption(unsigned id) { return id == 102 ? kTitle : nullptr; }

EXPORT const char* OrbResourceDialogTemplate(unsigned id) {
    return id == 102 ? kDialog102 : nullptr;
}
