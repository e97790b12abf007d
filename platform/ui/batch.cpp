// The batch front end, for scripts, cron and services: it performs its
// script whenever the dialog has handled every message, prints the status
// line with the counters each time they change, and answers message boxes
// from the configured answer.
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <sstream>

#include "platform/ui/frontends.h"

namespace orb {

namespace {

class BatchFrontEnd : public FrontEnd {
  public:
    BatchFrontEnd(BatchScript script, bool answerYes, FILE* out)
        : script_(std::move(script)), answerYes_(answerYes), out_(out ? out : stdout) {}

    void Refresh(Dialog& dialog) override {
        std::string line = StatusLine(dialog);
        if (line == lastLine_) return;
        lastLine_ = line;
        std::lock_guard<std::mutex> lock(mutex_);
        if (!line.empty()) BatchNotice(out_, line);
    }

    bool Idle(Dialog& dialog) override {
        while (next_ < script_.size()) {
            const BatchStep& step = script_[next_];
            if (step.kind == BatchStep::WaitFor && !(step.until && step.until(dialog))) {
                return false;
            }
            ++next_;
            if (Perform(dialog, step)) return true;
        }
        // A dialog that refused to close may agree once its state changed
        // (a run ended); asking again without a change would only spin.
        std::string state = Fingerprint(dialog);
        if (closeAskedAt_ && *closeAskedAt_ == state) return false;
        closeAskedAt_ = state;
        return dialog.Post(WM_CLOSE);
    }

    void Activated(Dialog& dialog) override {
        Notice("Another start of \"" + dialog.Title() + "\" was sent here.");
    }

    int MessageBox(const std::string& text, const std::string& caption, UINT type) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return BatchMessageBox(out_, text, caption, type, answerYes_);
    }

    void Notice(const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        BatchNotice(out_, text);
    }

  private:
    // true when the step posted something or ended the dialog. A step on
    // a control the operator could not use is reported and skipped.
    bool Perform(Dialog& dialog, const BatchStep& step) {
        if (step.kind == BatchStep::End) {
            dialog.EndDialog(step.code);
            return true;
        }
        if (step.kind == BatchStep::WaitFor) return false;
        bool wanted = step.kind == BatchStep::Check;
        if (step.kind != BatchStep::Press && dialog.IsItemChecked(step.id) == wanted) return false;
        if (dialog.Press(step.id)) return true;
        Notice("Control " + std::to_string(step.id) +
               " is missing or not available; step skipped.");
        return false;
    }

    static std::string Fingerprint(const Dialog& dialog) {
        std::string state;
        for (const Control& c : dialog.Controls()) {
            state += std::to_string(c.id) + (c.enabled ? "e" : "d") + (c.checked ? "x" : "o") +
                     (c.shown ? "s" : "h") + std::to_string(c.value) + c.text + '\0';
        }
        return state;
    }

    // "status [label value, label value]"; empty before there is any.
    static std::string StatusLine(const Dialog& dialog) {
        std::string counters;
        for (const Control& control : dialog.Controls()) {
            if (control.kind != ControlKind::Counter || !control.shown) continue;
            std::string label = WithoutAccessMarks(control.label);
            if (label.empty()) label = std::to_string(control.id);
            counters +=
                (counters.empty() ? "" : ", ") + label + " " + std::to_string(control.value);
        }
        std::string status = dialog.ItemText(dialog.StatusControl());
        if (status.empty()) return {};
        return counters.empty() ? status : status + " [" + counters + "]";
    }

    BatchScript script_;
    size_t next_ = 0;
    std::optional<std::string> closeAskedAt_;
    bool answerYes_;
    FILE* out_;
    std::string lastLine_;
    std::mutex mutex_;  // message boxes may come from other threads
};

// A number and nothing else.
bool Number(const std::string& word, int* value) {
    char* end = nullptr;
    long parsed = std::strtol(word.c_str(), &end, 10);
    if (word.empty() || *end != '\0' || parsed < -0x7fffffffL || parsed > 0x7fffffffL) return false;
    *value = static_cast<int>(parsed);
    return true;
}

bool ParseStep(const std::string& text, BatchStep* step) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    if (words.empty() || words.size() > 2) return false;
    const std::string& verb = words[0];
    if (verb == "end") {
        step->kind = BatchStep::End;
        return words.size() == 1 || Number(words[1], &step->code);
    }
    if (words.size() != 2 || !Number(words[1], &step->id)) return false;
    int id = step->id;
    if (verb == "press") {
        step->kind = BatchStep::Press;
    } else if (verb == "check") {
        step->kind = BatchStep::Check;
    } else if (verb == "uncheck") {
        step->kind = BatchStep::Uncheck;
    } else if (verb == "wait-enabled" || verb == "wait-disabled") {
        bool enabled = verb == "wait-enabled";
        step->kind = BatchStep::WaitFor;
        step->until = [id, enabled](const Dialog& d) {
            return d.Item(id) != nullptr && d.IsItemEnabled(id) == enabled;
        };
    } else {
        return false;
    }
    return true;
}

}  // namespace

bool ParseBatchScript(const std::string& text, BatchScript* script, std::string* error) {
    BatchScript parsed;
    std::string current;
    std::istringstream in(text);
    while (std::getline(in, current, '\n')) {
        std::istringstream steps(current);
        for (std::string one; std::getline(steps, one, ';');) {
            if (one.find_first_not_of(" \t\r") == std::string::npos) continue;
            BatchStep step;
            if (!ParseStep(one, &step)) {
                if (error != nullptr) *error = "bad batch step \"" + one + "\"";
                return false;
            }
            parsed.push_back(step);
        }
    }
    *script = std::move(parsed);
    return true;
}

std::unique_ptr<FrontEnd> MakeBatchFrontEnd(BatchScript script, bool answerYes, FILE* out) {
    return std::make_unique<BatchFrontEnd>(std::move(script), answerYes, out);
}

std::unique_ptr<FrontEnd> MakeFrontEnd(const UiSettings& settings, BatchScript script) {
    if (settings.frontEnd == FrontEndKind::Console) return MakeConsoleFrontEnd(0, 1);
    if (const char* text = std::getenv("ORB_UI_SCRIPT"); text != nullptr && *text != '\0') {
        std::string error;
        if (!ParseBatchScript(text, &script, &error)) {
            std::fprintf(stderr, "ORB_UI_SCRIPT: %s\n", error.c_str());
            script = {{BatchStep::End, 0, -1, {}}};
        }
    }
    return MakeBatchFrontEnd(std::move(script), settings.answerYes);
}

}  // namespace orb
