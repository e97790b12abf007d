// Message boxes and notices: through the front end that shows a dialog, or,
// with no dialog on the screen (installer actions, launchers), in the form
// the settings choose.
#include <cctype>
#include <cstdio>

#include "platform/ui/frontends.h"
#include "platform/ui/window_core.h"

namespace orb {

std::vector<int> BoxButtons(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_OK:
            return {IDOK};
        case MB_OKCANCEL:
            return {IDOK, IDCANCEL};
        case MB_ABORTRETRYIGNORE:
            return {IDABORT, IDRETRY, IDIGNORE};
        case MB_YESNOCANCEL:
            return {IDYES, IDNO, IDCANCEL};
        case MB_YESNO:
            return {IDYES, IDNO};
        case MB_RETRYCANCEL:
            return {IDRETRY, IDCANCEL};
        default:
            return {};
    }
}

const char* ButtonName(int result) {
    switch (result) {
        case IDOK:
            return "OK";
        case IDCANCEL:
            return "Cancel";
        case IDABORT:
            return "Abort";
        case IDRETRY:
            return "Retry";
        case IDIGNORE:
            return "Ignore";
        case IDYES:
            return "Yes";
        case IDNO:
            return "No";
        default:
            return "?";
    }
}

int EscapeResult(UINT type) {
    std::vector<int> buttons = BoxButtons(type);
    for (int result : buttons) {
        if (result == IDCANCEL) return IDCANCEL;
    }
    // Windows lets Esc close only a box with a cancelling button; a lone OK
    // is the one exception, and Yes/No boxes ignore it.
    return buttons.size() == 1 ? buttons[0] : 0;
}

int DefaultResult(UINT type) {
    std::vector<int> buttons = BoxButtons(type);
    size_t index = (type & MB_DEFMASK) >> 8;
    if (buttons.empty()) return 0;
    return buttons[index < buttons.size() ? index : 0];
}

int ResultForKey(UINT type, char key) {
    char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(key)));
    for (int result : BoxButtons(type)) {
        if (std::tolower(static_cast<unsigned char>(ButtonName(result)[0])) == lower) return result;
    }
    return 0;
}

namespace {

std::string OneLine(const std::string& text) {
    std::string line;
    for (char c : text) {
        if (c == '\r') continue;
        line += c == '\n' ? ' ' : c;
    }
    return line;
}

std::string ButtonList(UINT type) {
    std::string list;
    for (int result : BoxButtons(type))
        list += std::string(list.empty() ? "" : "/") + ButtonName(result);
    return list;
}

}  // namespace

int BatchMessageBox(FILE* out, const std::string& text, const std::string& caption, UINT type,
                    bool answerYes) {
    int answer = BatchAnswer(type, answerYes);
    if (answer == 0) return 0;
    std::string line = (caption.empty() ? std::string("Message") : caption) + ": " + OneLine(text) +
                       " [" + ButtonList(type) + "] -> " + ButtonName(answer) + "\n";
    std::fputs(line.c_str(), out);
    std::fflush(out);
    return answer;
}

void BatchNotice(FILE* out, const std::string& text) {
    std::fputs((OneLine(text) + "\n").c_str(), out);
    std::fflush(out);
}

void UiNotice(const std::string& text) {
    if (FrontEnd* active = ActiveFrontEnd()) {
        active->Notice(text);
        return;
    }
    // Without a dialog a notice is a line either way.
    BatchNotice(stdout, text);
}

}  // namespace orb

int MessageBoxA(HWND /*owner*/, LPCSTR text, LPCSTR caption, UINT type) {
    if (orb::BoxButtons(type).empty()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string body = text == nullptr ? "" : text;
    // Windows captions a box without a caption "Error".
    std::string title = caption == nullptr ? "Error" : caption;
    if (orb::FrontEnd* active = orb::ActiveFrontEnd()) return active->MessageBox(body, title, type);
    orb::UiSettings settings = orb::CurrentUiSettings();
    if (settings.frontEnd == orb::FrontEndKind::Console) {
        return orb::ConsoleMessageBox(0, 1, body, title, type);
    }
    return orb::BatchMessageBox(stdout, body, title, type, settings.answerYes);
}
