// The status window: dialog 727 of the resource module with the text control
// 538, shown through the UI layer. It does not take the operator's input (the
// action runs on), so each step is shown as a notice: a line in batch runs,
// the message line on a console.
#include "platform/ui.h"
#include "setup/actions.h"

namespace orbf {
namespace {

constexpr unsigned kStatusDialog = 727;
constexpr int kStepText = 538;

}  // namespace

StatusWindow::~StatusWindow() { Close(); }

void StatusWindow::Open(const std::string& text) {
    if (!open_) {
        auto* dialog = new orb::Dialog(Text(kStatusDialog));
        if (!dialog->LoadTemplate(ResourceModule(), kStatusDialog) || dialog->Item(kStepText) == nullptr)
            dialog->AddControl(kStepText, orb::ControlKind::Text);
        dialog->ShowItem(kStepText, true);
        dialog->SetStatusControl(kStepText);
        dialog_ = dialog;
        open_ = true;
    }
    Show(text);
}

void StatusWindow::Show(const std::string& text) {
    if (!open_) return;
    dialog_->SetItemText(kStepText, text);
    if (!text.empty()) orb::UiNotice(text);
}

void StatusWindow::Close() {
    delete dialog_;
    dialog_ = nullptr;
    open_ = false;
}

}  // namespace orbf
