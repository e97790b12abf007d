// Which front end a program gets, and the answer batch runs give to
// confirmations: both from the environment, so programs started by ours
// (the installer's chain) behave the same way.
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

#include "platform/ui.h"

namespace orb {

namespace {

// Each unknown setting is reported once per process, not on every call.
void ReportUnknown(const char* name, const std::string& value) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard<std::mutex> lock(mutex);
    if (!reported.insert(std::string(name) + "=" + value).second) return;
    std::fprintf(stderr, "%s: unknown value \"%s\" ignored\n", name, value.c_str());
}

bool Same(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

}  // namespace

UiSettings CurrentUiSettings() {
    UiSettings settings;
    settings.frontEnd = isatty(0) && isatty(1) ? FrontEndKind::Console : FrontEndKind::Batch;
    if (const char* ui = std::getenv("ORB_UI"); ui != nullptr && *ui != '\0') {
        if (Same(ui, "console")) {
            settings.frontEnd = FrontEndKind::Console;
        } else if (Same(ui, "batch")) {
            settings.frontEnd = FrontEndKind::Batch;
        } else {
            ReportUnknown("ORB_UI", ui);
        }
    }
    if (const char* answer = std::getenv("ORB_UI_ANSWER"); answer != nullptr && *answer != '\0') {
        if (Same(answer, "yes") || Same(answer, "ok")) {
            settings.answerYes = true;
        } else if (!Same(answer, "no") && !Same(answer, "cancel")) {
            ReportUnknown("ORB_UI_ANSWER", answer);
        }
    }
    return settings;
}

int BatchAnswer(UINT type, bool answerYes) {
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            return IDOK;
        case MB_OKCANCEL:
            return answerYes ? IDOK : IDCANCEL;
        case MB_YESNO:
            return answerYes ? IDYES : IDNO;
        case MB_YESNOCANCEL:
            return answerYes ? IDYES : IDCANCEL;
        // Nobody is there to fix what failed: retrying would only loop.
        case MB_RETRYCANCEL:
            return IDCANCEL;
        case MB_ABORTRETRYIGNORE:
            return IDABORT;
        default:
            return 0;
    }
}

}  // namespace orb
