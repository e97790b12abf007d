#include "platform/ui.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <map>
#include <thread>

#include "platform/command.h"
#include "platform/dynload.h"
#include "platform/sync.h"
#include "tests/platform/scratch_dir.h"

namespace {

using orbtest::ScopedEnv;
using orbtest::ScratchDir;

constexpr UINT kProgress = WM_USER + 1;
constexpr UINT kDone = WM_USER + 2;

// What a batch front end wrote, read back from its temporary file.
class Captured {
  public:
    Captured() : file_(std::tmpfile()) {}
    ~Captured() { std::fclose(file_); }
    FILE* file() { return file_; }
    std::string Text() {
        std::fflush(file_);
        std::rewind(file_);
        std::string text;
        for (int c; (c = std::fgetc(file_)) != EOF;) text += static_cast<char>(c);
        return text;
    }

  private:
    FILE* file_;
};

// Records what it was given, and where.
class RecordingDialog : public orb::Dialog {
  public:
    using Dialog::Dialog;
    std::vector<std::pair<UINT, WPARAM>> seen;
    std::thread::id handlerThread;
    bool wrongThread = false;
    size_t expected = 0;

  protected:
    void OnMessage(UINT message, WPARAM wParam, LPARAM) override {
        if (std::this_thread::get_id() != handlerThread) wrongThread = true;
        seen.emplace_back(message, wParam);
        if (seen.size() == expected) EndDialog(IDOK);
    }
    void OnClose() override {}  // only the last message ends it
};

TEST(Dialog, MessagesFromOtherThreadsArriveInOrderOnTheDialogThread) {
    ScratchDir root;
    ScopedEnv machine("ORB_MACHINE_ROOT", root.path());
    RecordingDialog dialog("order test");
    constexpr WPARAM kEach = 2000;
    dialog.expected = 2 * kEach;
    dialog.handlerThread = std::this_thread::get_id();
    HWND window = dialog.Window();
    auto poster = [window](UINT message) {
        for (WPARAM i = 0; i < kEach; ++i) ASSERT_TRUE(PostMessageA(window, message, i, 0));
    };
    orb::Thread first([&] { poster(kProgress); });
    orb::Thread second([&] { poster(kDone); });
    Captured out;
    auto frontEnd = orb::MakeBatchFrontEnd({}, false, out.file());
    EXPECT_EQ(dialog.RunModal(*frontEnd), IDOK);
    first.Join();
    second.Join();

    EXPECT_FALSE(dialog.wrongThread);
    std::map<UINT, WPARAM> next;
    for (const auto& [message, value] : dialog.seen) EXPECT_EQ(value, next[message]++);
    EXPECT_EQ(next[kProgress], kEach);
    EXPECT_EQ(next[kDone], kEach);
}

TEST(Dialog, PostingToADialogThatIsGoneIsRefused) {
    HWND gone;
    {
        orb::Dialog dialog("short-lived");
        gone = dialog.Window();
        EXPECT_TRUE(PostMessageA(gone, kProgress, 0, 0));
    }
    SetLastError(0);
    EXPECT_FALSE(PostMessageA(gone, kProgress, 0, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    char text[8] = "x";
    EXPECT_EQ(GetDlgItemTextA(gone, 1002, text, sizeof text), 0u);
    EXPECT_STREQ(text, "");
}

TEST(Dialog, ControlsByNumberAndAccessKeys) {
    orb::Dialog dialog("controls");
    dialog.AddControl(1, orb::ControlKind::Button, "", "St&op");
    dialog.AddControl(1009, orb::ControlKind::CheckBox, "&Delete && clean");
    dialog.AddControl(1002, orb::ControlKind::Text);
    HWND window = dialog.Window();

    EXPECT_EQ(orb::AccessKey(*dialog.Item(1)), 'o');
    EXPECT_EQ(orb::AccessKey(*dialog.Item(1009)), 'd');
    EXPECT_EQ(orb::WithoutAccessMarks("&Delete && clean&"), "Delete & clean");
    EXPECT_EQ(orb::AccessKey(*dialog.Item(1002)), 0);

    EXPECT_TRUE(SetDlgItemTextA(window, 1002, "a status line that is long"));
    char small[7];
    EXPECT_EQ(GetDlgItemTextA(window, 1002, small, sizeof small), 6u);
    EXPECT_STREQ(small, "a stat");
    EXPECT_FALSE(SetDlgItemTextA(window, 4242, "no such control"));

    // Disabled or hidden controls do not react to the operator.
    EXPECT_TRUE(EnableDlgItem(window, 1009, FALSE));
    EXPECT_FALSE(dialog.Press(1009));
    EXPECT_EQ(IsDlgButtonChecked(window, 1009), static_cast<UINT>(BST_UNCHECKED));
    dialog.EnableItem(1009, true);
    EXPECT_TRUE(dialog.Press(1009));
    EXPECT_EQ(IsDlgButtonChecked(window, 1009), static_cast<UINT>(BST_CHECKED));
    dialog.ShowItem(1, false);
    EXPECT_FALSE(dialog.Press(1));
    EXPECT_FALSE(dialog.Press(1002));  // text is not pressable
}

// A small publisher-like dialog: Start runs a worker thread that posts
// progress and then the end of the run; Close is enabled only while idle.
class RunDialog : public orb::Dialog {
  public:
    RunDialog() : Dialog("run test") {
        AddControl(1002, orb::ControlKind::Text);
        AddControl(1003, orb::ControlKind::Counter, "processed");
        AddControl(1009, orb::ControlKind::CheckBox, "&Delete first");
        AddControl(1, orb::ControlKind::Button, "", "&Start");
        AddControl(2, orb::ControlKind::Button, "", "&Close");
        SetStatusControl(1002);
    }
    ~RunDialog() override {
        if (worker_.Joinable()) worker_.Join();
    }
    int confirmations = 0;
    int startsWithDelete = 0;

  protected:
    void OnCommand(int id) override {
        if (id == 2) EndDialog(IDOK);
        if (id != 1) return;
        if (IsItemChecked(1009)) {
            ++startsWithDelete;
            if (MessageBoxA(nullptr, "Delete?", "run test", MB_OKCANCEL) != IDOK) return;
            ++confirmations;
        }
        EnableItem(2, false);
        HWND window = Window();
        if (worker_.Joinable()) worker_.Join();
        worker_ = orb::Thread([window] {
            for (int i = 1; i <= 3; ++i) PostMessageA(window, kProgress, i, 0);
            PostMessageA(window, kProgress, 3, 0);  // no change: no new line
            PostMessageA(window, kDone, 0, 0);
        });
    }
    void OnMessage(UINT message, WPARAM wParam, LPARAM) override {
        if (message == kProgress) {
            SetItemText(1002, "record " + std::to_string(wParam));
            SetItemPicture(1003, static_cast<long>(wParam), {});
        } else if (message == kDone) {
            SetItemText(1002, "Done.");
            EnableItem(2, true);
        }
    }
    void OnClose() override {
        if (IsItemEnabled(2)) EndDialog(IDCANCEL);
    }

  private:
    orb::Thread worker_;
};

TEST(BatchFrontEnd, FollowsItsScriptAndPrintsEachStatusChange) {
    ScratchDir root;
    ScopedEnv machine("ORB_MACHINE_ROOT", root.path());
    orb::BatchScript script;
    std::string error;
    ASSERT_TRUE(
        orb::ParseBatchScript("check 1009; press 1\nwait-enabled 2 ;; end 7", &script, &error))
        << error;
    for (bool answer : {true, false}) {
        RunDialog dialog;
        Captured out;
        auto frontEnd = orb::MakeBatchFrontEnd(script, answer, out.file());
        EXPECT_EQ(dialog.RunModal(*frontEnd), 7);
        EXPECT_EQ(dialog.startsWithDelete, 1);
        EXPECT_EQ(dialog.confirmations, answer ? 1 : 0);
        if (answer) {
            EXPECT_EQ(out.Text(),
                      "run test: Delete? [OK/Cancel] -> OK\n"
                      "record 1 [processed 1]\nrecord 2 [processed 2]\nrecord 3 [processed 3]\n"
                      "Done. [processed 3]\n");
        } else {
            EXPECT_EQ(out.Text(), "run test: Delete? [OK/Cancel] -> Cancel\n");
        }
    }
}

TEST(BatchFrontEnd, ClosesWhenTheScriptIsDoneAndTheDialogAgrees) {
    ScratchDir root;
    ScopedEnv machine("ORB_MACHINE_ROOT", root.path());
    RunDialog dialog;
    Captured out;
    // Close is refused while the run is active, so the dialog ends only
    // after the run's end re-enabled button 2.
    auto frontEnd = orb::MakeBatchFrontEnd({{orb::BatchStep::Press, 1, 0, {}}}, false, out.file());
    EXPECT_EQ(dialog.RunModal(*frontEnd), IDCANCEL);
    EXPECT_NE(out.Text().find("Done. [processed 3]\n"), std::string::npos);
}

TEST(BatchFrontEnd, BadScriptsAreRefusedWithTheStep) {
    orb::BatchScript script = {{orb::BatchStep::Press, 1, 0, {}}};
    std::string error;
    for (const char* bad : {"press", "press x", "press 1 2", "push 1", "end 1 2", "wait-enabled"}) {
        EXPECT_FALSE(orb::ParseBatchScript(std::string("check 1;") + bad, &script, &error)) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
    EXPECT_EQ(script.size(), 1u);  // untouched by a refused script
    EXPECT_TRUE(orb::ParseBatchScript(" ;\n\n", &script, &error));
    EXPECT_TRUE(script.empty());
}

TEST(MessageBox, BatchAnswersFromTheEnvironment) {
    ScopedEnv ui("ORB_UI", "batch");
    struct Case {
        const char* answer;
        UINT type;
        int expected;
    } cases[] = {
        {"", MB_OK | MB_ICONINFORMATION, IDOK},
        {"", MB_OKCANCEL, IDCANCEL},
        {"", MB_YESNO, IDNO},
        {"yes", MB_OKCANCEL, IDOK},
        {"YES", MB_YESNO, IDYES},
        {"ok", MB_YESNOCANCEL, IDYES},
        {"no", MB_YESNOCANCEL, IDCANCEL},
        {"yes", MB_RETRYCANCEL, IDCANCEL},
        {"cancel", MB_OKCANCEL | MB_DEFBUTTON1, IDCANCEL},
        {"maybe", MB_YESNO, IDNO},  // unknown: as unset
    };
    for (const Case& c : cases) {
        ScopedEnv answer("ORB_UI_ANSWER", c.answer);
        testing::internal::CaptureStdout();
        int result = MessageBoxA(nullptr, "Line one\nline two", "Caption", c.type);
        std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(result, c.expected) << c.answer << " " << c.type;
        EXPECT_EQ(printed.rfind("Caption: Line one line two [", 0), 0u) << printed;
    }
    SetLastError(0);
    EXPECT_EQ(MessageBoxA(nullptr, "x", "y", 6), 0);  // no such button set
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(UiSettings, ChildrenInheritTheFrontEndAndAnswer) {
    ScopedEnv ui("ORB_UI", "batch");
    ScopedEnv answer("ORB_UI_ANSWER", "yes");
    std::string output;
    ASSERT_EQ(orb::RunCommand({"sh", "-c", "echo $ORB_UI/$ORB_UI_ANSWER"}, 10000, &output), 0);
    EXPECT_EQ(output, "batch/yes\n");
    // Without a terminal and without a setting, programs run as batch.
    unsetenv("ORB_UI");
    if (!isatty(0) || !isatty(1)) {
        EXPECT_EQ(orb::CurrentUiSettings().frontEnd, orb::FrontEndKind::Batch);
    }
}

// Waits for another start's request, then ends.
class FirstInstance : public orb::Dialog {
  public:
    using Dialog::Dialog;
    std::atomic<bool> running{false};
    int activations = 0;

  protected:
    void OnInitDialog() override { running = true; }
    void OnActivate() override {
        ++activations;
        EndDialog(IDOK);
    }
    void OnClose() override {}
};

// Runs `first` modal on a thread until it was asked forward (bounded).
class FirstInstanceRun {
  public:
    explicit FirstInstanceRun(FirstInstance& first)
        : frontEnd_(orb::MakeBatchFrontEnd({}, false, out_.file())),
          thread_([this, &first] { result_ = first.RunModal(*frontEnd_); }) {
        for (int i = 0; i < 5000 && !first.running; ++i) orb::SleepMs(1);
    }
    int Join() {
        thread_.Join();
        return result_;
    }
    std::string Output() { return out_.Text(); }

  private:
    Captured out_;
    std::unique_ptr<orb::FrontEnd> frontEnd_;
    int result_ = 0;
    orb::Thread thread_;
};

// The second start, run as a child process of this test binary.
TEST(SingleInstance, SecondStartProbe) {
    const char* title = getenv("ORB_UI_TEST_PROBE_TITLE");
    if (title == nullptr) GTEST_SKIP() << "run by SecondStartInAnotherProcess";
    HWND first = FindWindowA(nullptr, title);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(ShowWindow(first, SW_SHOW));
    EXPECT_TRUE(SetForegroundWindow(first));
}

TEST(SingleInstance, SecondStartInAnotherProcessBringsTheFirstForward) {
    ScratchDir root;
    ScopedEnv machine("ORB_MACHINE_ROOT", root.path());
    const std::string title = "Lumora Vaultline Orb: single instance / test";
    EXPECT_EQ(FindWindowA(nullptr, title.c_str()), nullptr);

    FirstInstance first(title);
    FirstInstanceRun run(first);
    ASSERT_TRUE(first.running);
    EXPECT_EQ(FindWindowA(nullptr, (title + " ").c_str()), nullptr);  // exact titles only

    char self[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, self, sizeof self), 0u);
    ScopedEnv probe("ORB_UI_TEST_PROBE_TITLE", title);
    std::string output;
    EXPECT_EQ(
        orb::RunCommand({self, "--gtest_filter=SingleInstance.SecondStartProbe"}, 60000, &output),
        0)
        << output;
    EXPECT_EQ(run.Join(), IDOK);
    EXPECT_EQ(first.activations, 1);
    EXPECT_NE(run.Output().find("was sent here"), std::string::npos);
    // Once the first has ended its title is free again.
    EXPECT_EQ(FindWindowA(nullptr, title.c_str()), nullptr);
}

TEST(SingleInstance, TitlesOfOtherMachinesAndEndedDialogsAreNotFound) {
    ScratchDir root;
    ScopedEnv machine("ORB_MACHINE_ROOT", root.path());
    FirstInstance first("same title");
    FirstInstanceRun run(first);
    ASSERT_TRUE(first.running);
    HWND found = FindWindowA(nullptr, "same title");
    ASSERT_NE(found, nullptr);
    {
        ScratchDir other;
        ScopedEnv elsewhere("ORB_MACHINE_ROOT", other.path());
        EXPECT_EQ(FindWindowA(nullptr, "same title"), nullptr);
    }
    EXPECT_TRUE(SetForegroundWindow(found));
    EXPECT_EQ(run.Join(), IDOK);
    EXPECT_FALSE(SetForegroundWindow(found));  // it has ended
}

// The console front end on pipes: keys in, screen out.
class Pipe {
  public:
    Pipe() {
        if (pipe(fds_) != 0) fds_[0] = fds_[1] = -1;
    }
    ~Pipe() {
        for (int fd : fds_) {
            if (fd >= 0) close(fd);
        }
    }
    int in() const { return fds_[0]; }
    int out() const { return fds_[1]; }
    void Send(const std::string& keys) {
        EXPECT_EQ(write(fds_[1], keys.data(), keys.size()), static_cast<ssize_t>(keys.size()));
    }
    // Reads what arrives until `text` was seen (bounded: ten seconds).
    bool Await(const std::string& text, std::string* seen) {
        for (int i = 0; i < 1000 && seen->find(text) == std::string::npos; ++i) {
            pollfd ready{fds_[0], POLLIN, 0};
            if (poll(&ready, 1, 10) <= 0) continue;
            char buffer[4096];
            ssize_t got = read(fds_[0], buffer, sizeof buffer);
            if (got > 0) seen->append(buffer, static_cast<size_t>(got));
        }
        return seen->find(text) != std::string::npos;
    }

  private:
    int fds_[2];
};

TEST(ConsoleFrontEnd, KeysTickBoxesPressButtonsAndAnswerBoxes) {
    ScratchDir root;
    ScopedEnv machine("ORB_MACHINE_ROOT", root.path());
    Pipe keys;
    Pipe screen;
    RunDialog dialog;
    auto frontEnd = orb::MakeConsoleFrontEnd(keys.in(), screen.out());
    int result = 0;
    orb::Thread ui([&] { result = dialog.RunModal(*frontEnd); });

    std::string shown;
    keys.Send("ds");
    EXPECT_TRUE(screen.Await("Delete?", &shown));
    EXPECT_NE(shown.find("[x] "), std::string::npos);
    // y answers nothing in an OK/Cancel box; o does. Close stays refused
    // (disabled) until the run is over.
    keys.Send("y");
    keys.Send("oc");
    EXPECT_TRUE(screen.Await("Done.", &shown));
    keys.Send("c");
    ui.Join();
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(dialog.confirmations, 1);
    EXPECT_NE(shown.find("run test"), std::string::npos);
    EXPECT_NE(shown.find("record 3"), std::string::npos);
}

}  // namespace
