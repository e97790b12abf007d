// The dialog model: controls by number and the delivery of messages to the
// dialog's handlers.
#include <cctype>
#include <exception>

#include "platform/debug.h"
#include "platform/ui/window_core.h"

namespace orb {

char AccessKey(const Control& control) {
    const std::string& text =
        control.kind == ControlKind::Button && !control.text.empty() ? control.text : control.label;
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != '&') continue;
        if (text[i + 1] == '&') {
            ++i;
            continue;
        }
        return static_cast<char>(std::tolower(static_cast<unsigned char>(text[i + 1])));
    }
    return 0;
}

std::string WithoutAccessMarks(const std::string& text) {
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            shown += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '&') {
            shown += '&';
            ++i;
        }
    }
    return shown;
}

Dialog::Dialog(std::string title)
    : title_(std::move(title)), core_(std::make_shared<WindowCore>()) {
    core_->dialog = this;
    window_ = RegisterWindow(core_);
}

Dialog::~Dialog() {
    UnregisterWindow(window_);
    core_->dialog = nullptr;
}

Control& Dialog::AddControl(int id, ControlKind kind, const std::string& label,
                            const std::string& text) {
    Control control;
    control.id = id;
    control.kind = kind;
    control.label = label;
    control.text = text;
    controls_.push_back(control);
    return controls_.back();
}

Control* Dialog::Item(int id) {
    for (Control& control : controls_) {
        if (control.id == id) return &control;
    }
    return nullptr;
}

const Control* Dialog::Item(int id) const { return const_cast<Dialog*>(this)->Item(id); }

void Dialog::SetItemText(int id, const std::string& text) {
    if (Control* control = Item(id)) control->text = text;
}

std::string Dialog::ItemText(int id) const {
    const Control* control = Item(id);
    return control == nullptr ? std::string() : control->text;
}

void Dialog::EnableItem(int id, bool enable) {
    if (Control* control = Item(id)) control->enabled = enable;
}

bool Dialog::IsItemEnabled(int id) const {
    const Control* control = Item(id);
    return control != nullptr && control->enabled;
}

void Dialog::CheckItem(int id, bool checked) {
    if (Control* control = Item(id)) control->checked = checked;
}

bool Dialog::IsItemChecked(int id) const {
    const Control* control = Item(id);
    return control != nullptr && control->checked;
}

void Dialog::ShowItem(int id, bool shown) {
    if (Control* control = Item(id)) control->shown = shown;
}

void Dialog::SetItemPicture(int id, long value, std::vector<std::string> rows) {
    if (Control* control = Item(id)) {
        control->value = value;
        control->image = std::move(rows);
    }
}

void Dialog::OpenAnimation(int id, std::vector<std::string> frames) {
    if (Control* control = Item(id)) control->frames = std::move(frames);
}

void Dialog::PlayAnimation(int id, bool play) {
    if (Control* control = Item(id)) control->playing = play;
}

void Dialog::SetBatchScript(BatchScript script) { script_ = std::move(script); }

bool Dialog::Press(int id) {
    Control* control = Item(id);
    if (control == nullptr || !control->enabled || !control->shown) return false;
    if (control->kind == ControlKind::CheckBox) {
        control->checked = !control->checked;
    } else if (control->kind != ControlKind::Button) {
        return false;
    }
    return Post(WM_COMMAND, static_cast<WPARAM>(static_cast<WORD>(id)) | (BN_CLICKED << 16), 0);
}

bool Dialog::Post(UINT message, WPARAM wParam, LPARAM lParam) {
    return core_->Post({message, wParam, lParam});
}

void Dialog::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

void Dialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        switch (message) {
            case WM_INITDIALOG:
                OnInitDialog();
                break;
            case WM_COMMAND:
                OnCommand(LOWORD(wParam));
                break;
            case WM_CLOSE:
                OnClose();
                break;
            case WM_HELP:
                OnHelp();
                break;
            case WM_ACTIVATEAPP:
                OnActivate();
                break;
            default:
                OnMessage(message, wParam, lParam);
                break;
        }
    } catch (const std::exception& error) {
        OutputDebugStringA(("Dialog \"" + title_ + "\": " + error.what() + "\n").c_str());
        EndDialog(-1);
    } catch (...) {
        OutputDebugStringA(("Dialog \"" + title_ + "\": unknown exception\n").c_str());
        EndDialog(-1);
    }
}

}  // namespace orb
