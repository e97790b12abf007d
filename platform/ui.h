// The user interface: dialogs, posted window messages, message boxes and the
// single-instance test by window title, with the Windows shapes the
// programs are written against. The dialog logic (a class deriving from
// orb::Dialog) knows controls only by number and messages only by value; a
// front end shows the dialog and turns the operator's keys, or a script,
// into the same messages a window would receive:
//
//   console  an interactive screen on a terminal (ANSI escape sequences);
//   batch    for scripts, cron and services: presses buttons as its script
//            says, prints each status line with the counters as it changes,
//            and answers message boxes from a configured answer.
//
// The front end is chosen by the environment, which started programs
// inherit, so a whole chain of programs runs unattended:
//
//   ORB_UI         "console" or "batch"; unset: console when standard input
//                  and output are terminals, batch otherwise.
//   ORB_UI_ANSWER  batch answer to confirmations: "yes" (also "ok") gives
//                  IDOK / IDYES, "no" (also "cancel") gives IDCANCEL / IDNO.
//                  Unset: no. Retry and abort questions are always cancelled.
//
// Threads: a dialog's controls belong to the thread that runs it (RunModal);
// any thread may post messages to it. Messages are delivered one at a time,
// in the order they were posted, on the dialog's thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dynload.h"
#include "platform/process.h"
#include "platform/win32.h"

struct OrbWindow;
// A window handle names a window in a table; a handle whose window is gone
// is refused (ERROR_INVALID_WINDOW_HANDLE), never followed.
typedef OrbWindow* HWND;

#define ERROR_INVALID_WINDOW_HANDLE 1400L

// Window messages the system uses (winuser.h values).
#define WM_CLOSE 0x0010
#define WM_ACTIVATEAPP 0x001C
#define WM_HELP 0x0053
#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111

#define LOWORD(l) (static_cast<WORD>(static_cast<uintptr_t>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<uintptr_t>(l) >> 16) & 0xffff))
#define BN_CLICKED 0

// Message box types, icons and results (winuser.h values).
#define MB_OK 0x00000000u
#define MB_OKCANCEL 0x00000001u
#define MB_ABORTRETRYIGNORE 0x00000002u
#define MB_YESNOCANCEL 0x00000003u
#define MB_YESNO 0x00000004u
#define MB_RETRYCANCEL 0x00000005u
#define MB_TYPEMASK 0x0000000Fu
#define MB_ICONHAND 0x00000010u
#define MB_ICONERROR MB_ICONHAND
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONEXCLAMATION 0x00000030u
#define MB_ICONWARNING MB_ICONEXCLAMATION
#define MB_ICONASTERISK 0x00000040u
#define MB_ICONINFORMATION MB_ICONASTERISK
#define MB_ICONMASK 0x000000F0u
#define MB_DEFBUTTON1 0x00000000u
#define MB_DEFBUTTON2 0x00000100u
#define MB_DEFBUTTON3 0x00000200u
#define MB_DEFMASK 0x00000F00u
#define MB_APPLMODAL 0x00000000u
#define MB_SYSTEMMODAL 0x00001000u
#define MB_TASKMODAL 0x00002000u
#define MB_SETFOREGROUND 0x00010000u
#define MB_TOPMOST 0x00040000u

#define IDOK 1
#define IDCANCEL 2
#define IDABORT 3
#define IDRETRY 4
#define IDIGNORE 5
#define IDYES 6
#define IDNO 7

// Check box states.
#define BST_UNCHECKED 0
#define BST_CHECKED 1

// ShowWindow commands besides SW_HIDE, SW_SHOWNORMAL and SW_SHOW (process.h).
#define SW_SHOWNA 8
#define SW_RESTORE 9

// Shows a message box through the front end in force (with or without a
// dialog). 0 and ERROR_INVALID_PARAMETER for an unknown button type.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);
// Queues the message for the window's thread. FALSE when the window is gone.
BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// The top-level window with exactly this title, in this process or another
// one on this machine (same machine root); null when there is none. class
// name is ignored.
HWND FindWindowA(LPCSTR className, LPCSTR title);
// For a window of another process both ask it to come forward.
BOOL ShowWindow(HWND window, int command);
BOOL SetForegroundWindow(HWND window);
// Control access by number, as on Windows.
BOOL SetDlgItemTextA(HWND dialog, int id, LPCSTR text);
// Copies at most size - 1 characters, always terminated; returns the count.
UINT GetDlgItemTextA(HWND dialog, int id, LPSTR buffer, int size);
BOOL CheckDlgButton(HWND dialog, int id, UINT check);
UINT IsDlgButtonChecked(HWND dialog, int id);
BOOL EnableDlgItem(HWND dialog, int id, BOOL enable);

namespace orb {

enum class FrontEndKind { Console, Batch };

struct UiSettings {
    FrontEndKind frontEnd = FrontEndKind::Batch;
    bool answerYes = false;  // batch answer to confirmations
};

// Read from the environment on every call (tests and started programs
// change it). An unknown value is reported once on standard error and
// treated as unset.
UiSettings CurrentUiSettings();
// The answer the batch front end gives to a box of this type.
int BatchAnswer(UINT type, bool answerYes);

// Tells the operator something that needs no answer (a help file's path, a
// notice): a line in batch mode, the screen's message line on a console.
void UiNotice(const std::string& text);

enum class ControlKind { Button, CheckBox, Text, Counter, Animation };

// One control of a dialog. A label or caption may mark its access key with
// '&' as on Windows ("&Start": the key S); "&&" is a literal '&'.
struct Control {
    int id = 0;
    ControlKind kind = ControlKind::Text;
    std::string label;  // the text beside the control (check boxes: their own)
    std::string text;   // caption of a button, content of a text control
    bool enabled = true;
    bool checked = false;
    bool shown = true;
    // Drawn controls (counters): the value, and the picture a front end
    // shows, one text row per line.
    long value = 0;
    std::vector<std::string> image;
    // Animations: frames and whether it plays.
    std::vector<std::string> frames;
    bool playing = false;
};

// The key that presses or toggles a control: the letter after '&' in its
// caption (buttons) or label, in lower case; 0 when it has none.
char AccessKey(const Control& control);
// A caption as shown: "&&" becomes '&', single '&' marks are dropped.
std::string WithoutAccessMarks(const std::string& text);

class Dialog;

// A batch script: what the batch front end does, step by step, whenever the
// dialog has handled every message. Text form, steps separated by ';' or
// new lines (blank steps ignored):
//   press ID        press a button (or toggle a check box)
//   check ID        make a check box checked (toggles it only when clear)
//   uncheck ID      make it clear
//   wait-enabled ID wait until the control is enabled
//   wait-disabled ID
//   end [CODE]      end the dialog (result CODE, default IDCANCEL)
// When the script is done, the dialog is asked to close (WM_CLOSE).
struct BatchStep {
    enum Kind { Press, Check, Uncheck, WaitFor, End } kind = Press;
    int id = 0;
    int code = IDCANCEL;
    std::function<bool(const Dialog&)> until;  // WaitFor
};
using BatchScript = std::vector<BatchStep>;

class FrontEnd;
struct WindowCore;

// The dialog model. Derive from it, add controls (or load a template from
// a resource library), and override the handlers. Every handler runs on the
// dialog's thread; an exception escaping a handler ends the dialog with -1.
class Dialog {
  public:
    explicit Dialog(std::string title = "");
    virtual ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    // Layout: controls are shown in the order they were added. The reference
    // is good until the next AddControl.
    Control& AddControl(int id, ControlKind kind, const std::string& label = "",
                        const std::string& text = "");
    // Builds title and controls from dialog `id` of a resource library (its
    // caption and template). false, and nothing changed, when either is
    // missing or the template is malformed.
    bool LoadTemplate(HINSTANCE resources, unsigned id);
    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title) { title_ = title; }
    // The icon's picture (text rows), shown beside the title.
    void SetIcon(const std::vector<std::string>& rows) { icon_ = rows; }
    const std::vector<std::string>& Icon() const { return icon_; }
    // The control that holds the status line (printed by the batch front end).
    void SetStatusControl(int id) { statusId_ = id; }
    int StatusControl() const { return statusId_; }

    // Controls by number; null / no effect for an unknown number.
    Control* Item(int id);
    const Control* Item(int id) const;
    const std::vector<Control>& Controls() const { return controls_; }
    void SetItemText(int id, const std::string& text);
    std::string ItemText(int id) const;
    void EnableItem(int id, bool enable);
    bool IsItemEnabled(int id) const;
    void CheckItem(int id, bool checked);
    bool IsItemChecked(int id) const;
    void ShowItem(int id, bool shown);
    void SetItemPicture(int id, long value, std::vector<std::string> rows);
    void OpenAnimation(int id, std::vector<std::string> frames);
    void PlayAnimation(int id, bool play);

    // The operator's actions, as a front end or script performs them: a
    // button press posts WM_COMMAND; a check box toggles, then posts it.
    // Disabled or hidden controls ignore both (false).
    bool Press(int id);

    HWND Window() const { return window_; }
    // Any thread. false when the dialog is gone (as PostMessageA).
    bool Post(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);
    // Ends the modal loop after the current message; RunModal returns result.
    void EndDialog(int result);
    bool Ended() const { return ended_; }
    int Result() const { return result_; }

    // The script the batch front end follows (ORB_UI_SCRIPT overrides it).
    void SetBatchScript(BatchScript script);

    // Runs the dialog with the front end the settings choose, until
    // EndDialog. While it runs, the dialog is found by FindWindowA(title).
    int RunModal();
    int RunModal(FrontEnd& frontEnd);

    // Delivers one message to the handlers below (the loop calls it).
    void Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

  protected:
    virtual void OnInitDialog() {}
    // A button pressed or a check box toggled.
    virtual void OnCommand(int /*id*/) {}
    // Messages other than the ones with their own handler.
    virtual void OnMessage(UINT /*message*/, WPARAM /*wParam*/, LPARAM /*lParam*/) {}
    // The operator asked to close (Esc, the window's close): ends by default.
    virtual void OnClose() { EndDialog(IDCANCEL); }
    // F1.
    virtual void OnHelp() {}
    // Another start of the program asked this window to come forward.
    virtual void OnActivate() {}

  private:
    friend class ModalLoop;
    std::string title_;
    std::vector<std::string> icon_;
    std::vector<Control> controls_;
    int statusId_ = 0;
    BatchScript script_;
    std::shared_ptr<WindowCore> core_;
    HWND window_ = nullptr;
    bool ended_ = false;
    int result_ = IDCANCEL;
};

// What a front end does; the modal loop calls it on the dialog's thread.
class FrontEnd {
  public:
    virtual ~FrontEnd() = default;
    virtual void Begin(Dialog&) {}
    virtual void End(Dialog&) {}
    // After messages were delivered: show what changed.
    virtual void Refresh(Dialog&) {}
    // The descriptor to watch for the operator's input (-1: none) and what
    // to do when it is readable.
    virtual int InputFd() { return -1; }
    virtual void OnInput(Dialog&) {}
    // Called when no message is waiting. true when it acted (posted or
    // ended), false to wait for input, messages or the next tick.
    virtual bool Idle(Dialog&) { return false; }
    // Milliseconds between ticks while the dialog waits (-1: no ticks).
    virtual int TickMs(const Dialog&) { return -1; }
    virtual void Tick(Dialog&) {}
    virtual void Activated(Dialog&) {}
    // Message boxes and notices while this front end shows a dialog.
    virtual int MessageBox(const std::string& text, const std::string& caption, UINT type) = 0;
    virtual void Notice(const std::string& text) = 0;
};

// false and a message naming the bad step in *error.
bool ParseBatchScript(const std::string& text, BatchScript* script, std::string* error);

// The batch front end: writes its lines to `out` (standard output when null).
std::unique_ptr<FrontEnd> MakeBatchFrontEnd(BatchScript script, bool answerYes,
                                            FILE* out = nullptr);
// The console front end on these descriptors (normally 0 and 1); raw mode is
// used when inFd is a terminal.
std::unique_ptr<FrontEnd> MakeConsoleFrontEnd(int inFd, int outFd);
// The front end the settings choose; the batch one with the script given
// in ORB_UI_SCRIPT when set (else `script`).
std::unique_ptr<FrontEnd> MakeFrontEnd(const UiSettings& settings, BatchScript script = {});

}  // namespace orb
