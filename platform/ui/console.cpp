// The console front end: the dialog as a screen on a terminal, drawn with
// plain ANSI escape sequences. The underlined letter of a button or check
// box presses it, F1 asks for help, Esc (or Ctrl-C) asks to close, Enter
// presses the first enabled button. Message boxes appear below the dialog
// and take the first letter of a button, Enter or Esc.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/ui/frontends.h"
#include "platform/ui/terminal.h"

namespace orb {

namespace {

const char* const kBold = "\x1b[1m";
const char* const kDim = "\x1b[2m";
const char* const kUnderline = "\x1b[4m";
const char* const kPlain = "\x1b[0m";
const char* const kHomeAndClear = "\x1b[H\x1b[J";
const std::vector<std::string> kDefaultSpinner = {"|", "/", "-", "\\"};

// The caption with its access key underlined.
std::string Caption(const std::string& text) {
    std::string shown;
    bool marked = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            shown += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '&') {
            shown += '&';
            ++i;
        } else if (i + 1 < text.size() && !marked) {
            marked = true;
            shown += std::string(kUnderline) + text[++i] + "\x1b[24m";
        }
    }
    return shown;
}

// Columns a text takes on the screen: escape sequences take none, and a
// UTF-8 character takes one.
size_t VisibleWidth(const std::string& text) {
    size_t width = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\x1b') {
            while (i < text.size() && !std::isalpha(static_cast<unsigned char>(text[i]))) ++i;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++width;
        }
    }
    return width;
}

std::string PadTo(const std::string& text, size_t width) {
    size_t shown = VisibleWidth(text);
    return shown >= width ? text : text + std::string(width - shown, ' ');
}

// Counters that follow each other stand side by side: labels on one row,
// their pictures below.
std::string CounterRow(const std::vector<const Control*>& counters) {
    if (counters.empty()) return "";
    std::vector<std::vector<std::string>> cells;
    size_t rows = 0;
    for (const Control* counter : counters) {
        std::vector<std::string> cell = {WithoutAccessMarks(counter->label)};
        if (counter->image.empty()) cell.push_back(std::to_string(counter->value));
        for (const std::string& row : counter->image) cell.push_back(row);
        rows = std::max(rows, cell.size());
        cells.push_back(cell);
    }
    std::string out;
    for (size_t row = 0; row < rows; ++row) {
        std::string line = "  ";
        for (const auto& cell : cells) {
            size_t width = 0;
            for (const std::string& text : cell) width = std::max(width, VisibleWidth(text));
            line += PadTo(row < cell.size() ? cell[row] : "", width + 4);
        }
        out += line + "\r\n";
    }
    return out;
}

std::string Styled(const Control& control, const std::string& text) {
    return control.enabled ? text : std::string(kDim) + text + "\x1b[22m";
}

std::string BoxText(const std::string& text, const std::string& caption, UINT type) {
    std::string box = std::string("\r\n  ") + kBold + "[ " + caption + " ]" + kPlain + "\r\n";
    std::string line;
    for (char c : text + "\n") {
        if (c == '\r') continue;
        if (c != '\n') {
            line += c;
            continue;
        }
        box += "  " + line + "\r\n";
        line.clear();
    }
    box += "  ";
    int preset = DefaultResult(type);
    for (int result : BoxButtons(type)) {
        std::string name = ButtonName(result);
        std::string label = std::string(kUnderline) + name[0] + "\x1b[24m" + name.substr(1);
        box += result == preset ? std::string(kBold) + "< " + label + " >" + kPlain + " "
                                : "[ " + label + " ] ";
    }
    return box + "\r\n";
}

// Waits for a key that answers the box; end of input takes the cancelling
// answer (or the last button: No), so a closed terminal never says yes.
int ReadAnswer(int inFd, UINT type) {
    for (;;) {
        for (int key : ReadKeys(inFd, -1)) {
            int answer = 0;
            if (key == kKeyEndOfInput) {
                answer = EscapeResult(type) != 0 ? EscapeResult(type) : BoxButtons(type).back();
            } else if (key == kKeyEnter) {
                answer = DefaultResult(type);
            } else if (key == kKeyEscape || key == kKeyInterrupt) {
                answer = EscapeResult(type);
            } else if (key < 0x100) {
                answer = ResultForKey(type, static_cast<char>(key));
            }
            if (answer != 0) return answer;
        }
    }
}

class ConsoleFrontEnd : public FrontEnd {
  public:
    ConsoleFrontEnd(int inFd, int outFd) : inFd_(inFd), outFd_(outFd) {}

    void Begin(Dialog& dialog) override {
        raw_ = std::make_unique<RawMode>(inFd_);
        loopThread_ = std::this_thread::get_id();
        dialog_ = &dialog;
        WriteAll(outFd_, "\x1b[?25l");  // no cursor over the screen
    }

    void End(Dialog&) override {
        std::lock_guard<std::mutex> lock(mutex_);
        WriteAll(outFd_, "\r\n\x1b[?25h");
        raw_.reset();
        dialog_ = nullptr;
    }

    void Refresh(Dialog& dialog) override {
        std::lock_guard<std::mutex> lock(mutex_);
        screen_ = Render(dialog);
        Draw();
    }

    int InputFd() override { return inputClosed_ ? -1 : inFd_; }

    void OnInput(Dialog& dialog) override {
        std::vector<int> keys;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            keys = ReadKeys(inFd_, 0);
        }
        for (int key : keys) Handle(dialog, key);
    }

    int TickMs(const Dialog& dialog) override { return Animation(dialog) ? 120 : -1; }

    void Tick(Dialog& dialog) override { Refresh(dialog); }

    void Activated(Dialog&) override {
        WriteAll(outFd_, "\a");
        Notice("Another start of this program was sent here.");
    }

    int MessageBox(const std::string& text, const std::string& caption, UINT type) override {
        std::lock_guard<std::mutex> lock(mutex_);
        // The dialog's own thread may have changed the dialog just before.
        if (std::this_thread::get_id() == loopThread_ && dialog_ != nullptr) {
            screen_ = Render(*dialog_);
        }
        box_ = BoxText(text, caption, type);
        Draw();
        int answer = ReadAnswer(inFd_, type);
        box_.clear();
        Draw();
        return answer;
    }

    void Notice(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        notice_ = text;
        Draw();
    }

  private:
    void Handle(Dialog& dialog, int key) {
        if (key == kKeyEndOfInput) {
            inputClosed_ = true;
            dialog.Post(WM_CLOSE);
        } else if (key == kKeyEscape || key == kKeyInterrupt) {
            dialog.Post(WM_CLOSE);
        } else if (key == kKeyF1) {
            dialog.Post(WM_HELP);
        } else if (key == kKeyEnter) {
            for (const Control& control : dialog.Controls()) {
                if (control.kind == ControlKind::Button && dialog.Press(control.id)) break;
            }
        } else if (key < 0x100 && std::isalnum(key)) {
            char wanted = static_cast<char>(std::tolower(key));
            for (const Control& control : dialog.Controls()) {
                if (AccessKey(control) == wanted && dialog.Press(control.id)) break;
            }
        }
    }

    static const Control* Animation(const Dialog& dialog) {
        for (const Control& control : dialog.Controls()) {
            if (control.kind == ControlKind::Animation && control.playing && control.shown) {
                return &control;
            }
        }
        return nullptr;
    }

    std::string Spinner(const Dialog& dialog) const {
        const Control* animation = Animation(dialog);
        if (animation == nullptr) return "";
        const std::vector<std::string>& frames =
            animation->frames.empty() ? kDefaultSpinner : animation->frames;
        // The frame follows the time, so a busy dialog still spins evenly.
        auto now = std::chrono::steady_clock::now().time_since_epoch();
        auto frame = std::chrono::duration_cast<std::chrono::milliseconds>(now).count() / 120;
        return "  " + frames[static_cast<size_t>(frame) % frames.size()];
    }

    std::string Render(const Dialog& dialog) const {
        std::string out = "  ";
        if (!dialog.Icon().empty()) out += dialog.Icon()[0] + " ";
        out += std::string(kBold) + dialog.Title() + kPlain + "\r\n\r\n";
        std::string buttons;
        std::vector<const Control*> counters;
        for (const Control& control : dialog.Controls()) {
            if (!control.shown) continue;
            if (control.kind == ControlKind::Counter) {
                counters.push_back(&control);
                continue;
            }
            out += CounterRow(counters);
            counters.clear();
            std::string label = WithoutAccessMarks(control.label);
            switch (control.kind) {
                case ControlKind::Text:
                    out += "  " + (label.empty() ? "" : label + ": ") + control.text +
                           (control.id == dialog.StatusControl() ? Spinner(dialog) : "") + "\r\n";
                    break;
                case ControlKind::CheckBox:
                    out += "  " +
                           Styled(control, std::string(control.checked ? "[x] " : "[ ] ") +
                                               Caption(control.label)) +
                           "\r\n";
                    break;
                case ControlKind::Button:
                    buttons += Styled(control, "[ " + Caption(control.text) + " ]") + "  ";
                    break;
                case ControlKind::Animation:
                    if (dialog.StatusControl() == 0) out += Spinner(dialog) + "\r\n";
                    break;
                case ControlKind::Counter:
                    break;
            }
        }
        out += CounterRow(counters);
        out += "\r\n  " + buttons + "\r\n\r\n";
        out += std::string(kDim) + "  Underlined letter: press or tick.  F1: help.  Esc: close." +
               kPlain + "\r\n";
        return out;
    }

    void Draw() {
        std::string frame = kHomeAndClear + screen_;
        if (!notice_.empty()) frame += "\r\n  " + notice_ + "\r\n";
        frame += box_;
        WriteAll(outFd_, frame);
    }

    int inFd_;
    int outFd_;
    std::unique_ptr<RawMode> raw_;
    std::thread::id loopThread_;
    Dialog* dialog_ = nullptr;
    bool inputClosed_ = false;
    std::mutex mutex_;  // the terminal: screen, notice and boxes
    std::string screen_;
    std::string notice_;
    std::string box_;
};

}  // namespace

int ConsoleMessageBox(int inFd, int outFd, const std::string& text, const std::string& caption,
                      UINT type) {
    static std::mutex terminal;  // boxes from several threads come one after another
    std::lock_guard<std::mutex> lock(terminal);
    RawMode raw(inFd);
    WriteAll(outFd, BoxText(text, caption, type));
    int answer = ReadAnswer(inFd, type);
    WriteAll(outFd, std::string("  -> ") + ButtonName(answer) + "\r\n");
    return answer;
}

std::unique_ptr<FrontEnd> MakeConsoleFrontEnd(int inFd, int outFd) {
    return std::make_unique<ConsoleFrontEnd>(inFd, outFd);
}

}  // namespace orb
