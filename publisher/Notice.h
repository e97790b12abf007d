// What the publisher shows its operator, kept behind a few calls so that the
// pass runs without any window: the program plugs in its dialog and resource
// library, tests their own answers; the defaults are the platform's message
// boxes (console or batch front end) and built-in English texts.
#pragma once

#include <functional>
#include <string>

#include "platform/win32.h"

namespace publisher {

// Texts by number (the resource library's string table) and the operator's
// boxes. Empty members take the defaults below.
struct PublisherUi {
    std::function<std::string(int number)> text;
    // Plain box with OK, caption text 24.
    std::function<void(const std::string& message)> message;
    // OK / Cancel box, caption text 24; true on OK.
    std::function<bool(const std::string& question)> confirm;
    // The dialog's status line (control 1002).
    std::function<void(const std::string& status)> status;
};

// Text number of the ui, or the built-in English text when the ui has none.
std::string UiText(const PublisherUi& ui, int number);
// Text number with its one "%s", "%d", "%u" or "%lu" replaced by argument.
std::string UiTextWith(const PublisherUi& ui, int number, const std::string& argument);
void UiMessage(const PublisherUi& ui, const std::string& message);
bool UiConfirm(const PublisherUi& ui, const std::string& question);
void UiStatus(const PublisherUi& ui, const std::string& status);

// Information box without owner, captioned with text 24 of the program's
// resource library "NWOrbIntRes.dll".
void ShowNotice(const std::string& message);
// The system's text for a Win32 error code with its line end, as the system
// hands it out.
std::string SystemErrorText(DWORD code);

}  // namespace publisher
