// Default texts and boxes of the publisher.
#include "publisher/Notice.h"

#include <cstring>
#include <map>

#include "platform/dynload.h"
#include "platform/errortext.h"
#include "platform/resource.h"
#include "platform/ui.h"

namespace publisher {
namespace {

const std::map<int, const char*>& BuiltInTexts() {
    static const std::map<int, const char*> texts = {
        {1, "Start"},
        {2, "Stop"},
        {3, "Processing %s"},
        {4, "Building business process views..."},
        {5, "KestOrb loaded"},
        {6, "Business process view created"},
        {7, "The business process view could not be created"},
        {8, "The repository could not be opened"},
        {9, "Done"},
        {10, "Stopping..."},
        {11, "Stopped"},
        {12, "The repository kernel could not be started (%d)."},
        {13, "The repository could not be connected (%d)."},
        {14, "The published objects could not be deleted (%d)."},
        {15, "%lu published object(s) deleted."},
        {16, "Delete every backup object published in the repository?"},
        {17, "There were no published objects to delete."},
        {18, "Deleting published objects..."},
        {19, "The business process view could not be filled"},
        {24, "Lumora Vaultline Object Creation"},
        {25, ""},
    };
    return texts;
}

// Text 24 of the program's resource library, the caption of every box the
// publisher shows; the log writer has no ui to ask, so it asks the library,
// which the program holds loaded (the built-in text when there is none).
std::string NoticeCaption() {
    char caption[256] = {};
    if (HMODULE resources = LoadLibraryA("NWOrbIntRes.dll")) {
        LoadStringA(static_cast<HINSTANCE>(resources), 24, caption, sizeof caption);
        FreeLibrary(resources);
    }
    return caption[0] != '\0' ? caption : UiText(PublisherUi{}, 24);
}

}  // namespace

std::string UiText(const PublisherUi& ui, int number) {
    if (ui.text) return ui.text(number);
    auto found = BuiltInTexts().find(number);
    return found == BuiltInTexts().end() ? std::string() : std::string(found->second);
}

std::string UiTextWith(const PublisherUi& ui, int number, const std::string& argument) {
    std::string text = UiText(ui, number);
    // Substituted, never handed to printf: a text is data, not a format.
    for (const char* placeholder : {"%lu", "%s", "%d", "%u"}) {
        size_t at = text.find(placeholder);
        if (at != std::string::npos) return text.replace(at, std::strlen(placeholder), argument);
    }
    return text;
}

void UiMessage(const PublisherUi& ui, const std::string& message) {
    if (ui.message) {
        ui.message(message);
    } else {
        MessageBoxA(nullptr, message.c_str(), UiText(ui, 24).c_str(), MB_OK);
    }
}

bool UiConfirm(const PublisherUi& ui, const std::string& question) {
    if (ui.confirm) return ui.confirm(question);
    return MessageBoxA(nullptr, question.c_str(), UiText(ui, 24).c_str(), MB_OKCANCEL) == IDOK;
}

void UiStatus(const PublisherUi& ui, const std::string& status) {
    if (ui.status) ui.status(status);
}

void ShowNotice(const std::string& message) {
    MessageBoxA(nullptr, message.c_str(), NoticeCaption().c_str(), MB_OK | MB_ICONINFORMATION);
}

std::string SystemErrorText(DWORD code) {
    std::string text = orb::SystemErrorText(code);
    return text.empty() ? "Error " + std::to_string(code) + ".\r\n" : text + "\r\n";
}

}  // namespace publisher
