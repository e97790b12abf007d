// Inside the UI layer: a window's message queue and the table that turns
// window handles into windows, the front end currently showing a dialog,
// and the single-instance registration by title.
#pragma once

#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "platform/ui.h"

namespace orb {

struct QueuedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A window's queue. Posting wakes the loop through a descriptor it polls
// together with the operator's input.
struct WindowCore {
    WindowCore();
    ~WindowCore();
    WindowCore(const WindowCore&) = delete;
    WindowCore& operator=(const WindowCore&) = delete;

    bool Post(const QueuedMessage& message);
    bool Take(QueuedMessage* message);
    // Empties the wake-up descriptor once its messages are taken.
    void ClearWake();
    int WakeFd() const { return wakeFd_; }

    Dialog* dialog = nullptr;  // set while the dialog lives; dialog thread only

  private:
    std::mutex mutex_;
    std::deque<QueuedMessage> queue_;
    int wakeFd_ = -1;
};

// Handles: a local window (its core) or a window of another process known
// by its title.
HWND RegisterWindow(std::shared_ptr<WindowCore> core);
void UnregisterWindow(HWND window);
std::shared_ptr<WindowCore> LocalWindow(HWND window);
HWND RemoteWindowHandle(const std::string& title);
bool RemoteWindowTitle(HWND window, std::string* title);

// The front end showing a dialog on this process's screen, if any; message
// boxes and notices go through it.
void SetActiveFrontEnd(FrontEnd* frontEnd);
FrontEnd* ActiveFrontEnd();

// A title claimed for this process: other processes find it with
// FindWindowA and ask it forward; Fd() becomes readable when they do.
class InstanceClaim {
  public:
    explicit InstanceClaim(const std::string& title);
    ~InstanceClaim();
    InstanceClaim(const InstanceClaim&) = delete;
    InstanceClaim& operator=(const InstanceClaim&) = delete;

    bool Held() const { return ownsLock_ || !fifoPath_.empty(); }
    int Fd() const { return fifoFd_; }
    // Reads what arrived; true when it held a request to come forward.
    bool TakeRequests();

  private:
    int lockFd_ = -1;
    bool ownsLock_ = false;  // false when the process claimed the title (ClaimInstance)
    int fifoFd_ = -1;
    std::string fifoPath_;
};

// Whether a process holds the title; sends it a request to come forward
// when `request` is set.
bool TitleHeld(const std::string& title);
bool RequestForeground(const std::string& title);

}  // namespace orb
