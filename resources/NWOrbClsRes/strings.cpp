// The string table and dialog of "NWOrbClsRes.dll", shared by the console
// launcher ksuxgo and the small launchers ksrun and ksorbcls. Texts 12 and
// 13 are formats taking one number (%d, the repository client's code); no
// other text is a format. Numbers without a text answer null.
//
//   1       caption of the host update dialog's start button (ksuxgo)
//   12, 13  the repository test's failures (ksuxgo)
//   20      no home directory of the backup product was found (ksrun)
//   21, 24  the class import's question and its box's caption (ksorbcls)
//   22, 23  the server action refused, no tool started (ksuxgo)
#include <cstddef>

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const char* const kDialogTitle = "Lumora Vaultline Host Update";

struct Entry {
    unsigned id;
    const char* text;
};

const Entry kStrings[] = {
    {1, "&Update"},
    {12, "The repository kernel could not be started (code %d)."},
    {13, "The connection to the repository failed (code %d)."},
    {20, "The Lumora Vaultline Backup home directory was not found in the registry."},
    {21, "Import the Lumora Vaultline Backup class definitions into the repository now?"},
    {22, "This backup server offers no console tool: its server information is missing "
         "or does not describe a UNIX server."},
    {23, "No tool could be started for this host."},
    {24, "Lumora Vaultline Class Import"},
};

// Dialog 102, the host update dialog, top to bottom.
const char* const kDialog102 =
    "1008 text Repairing the labels of the host's backup-server objects.\n"
    "1002 text\n"
    "1003 counter Hosts\n"
    "1004 counter Objects\n"
    "1009 check &Details\n"
    "1 button #1\n"
    "2 button &Cancel\n";

}  // namespace

EXPORT const char* OrbResourceString(unsigned id) {
    for (const Entry& entry : kStrings) {
        if (entry.id == id) return entry.text;
    }
    return nullptr;
}

EXPORT const char* OrbResourceDialogCaption(unsigned id) {
    return id == 102 ? kDialogTitle : nullptr;
}

EXPORT const char* OrbResourceDialogTemplate(unsigned id) {
    return id == 102 ? kDialog102 : nullptr;
}
