// The modal loop every front end shares: deliver the dialog's messages in
// order, let the front end show them, and wait for the next message, the
// operator's input, a request from another start, or the front end's tick.
#include <poll.h>

#include <cerrno>

#include "platform/ui/window_core.h"

namespace orb {

class ModalLoop {
  public:
    ModalLoop(Dialog& dialog, FrontEnd& frontEnd)
        : dialog_(dialog), frontEnd_(frontEnd), claim_(dialog.Title()) {}

    int Run() {
        dialog_.ended_ = false;
        // A dialog opened from another dialog's handler hands the screen back.
        FrontEnd* outer = ActiveFrontEnd();
        SetActiveFrontEnd(&frontEnd_);
        dialog_.Dispatch(WM_INITDIALOG, 0, 0);
        frontEnd_.Begin(dialog_);
        frontEnd_.Refresh(dialog_);
        while (!dialog_.Ended()) {
            if (DeliverAll()) continue;
            if (!dialog_.Ended() && !frontEnd_.Idle(dialog_)) Wait();
        }
        frontEnd_.End(dialog_);
        SetActiveFrontEnd(outer);
        return dialog_.Result();
    }

  private:
    bool DeliverAll() {
        bool delivered = false;
        QueuedMessage message;
        dialog_.core_->ClearWake();
        while (!dialog_.Ended() && dialog_.core_->Take(&message)) {
            if (message.message == WM_ACTIVATEAPP) frontEnd_.Activated(dialog_);
            dialog_.Dispatch(message.message, message.wParam, message.lParam);
            frontEnd_.Refresh(dialog_);
            delivered = true;
        }
        return delivered;
    }

    void Wait() {
        pollfd fds[3] = {{dialog_.core_->WakeFd(), POLLIN, 0},
                         {claim_.Fd(), POLLIN, 0},
                         {frontEnd_.InputFd(), POLLIN, 0}};
        int ready = poll(fds, 3, frontEnd_.TickMs(dialog_));
        if (ready < 0 && errno != EINTR) {
            dialog_.EndDialog(-1);  // nothing could ever wake this loop again
            return;
        }
        if (ready == 0) frontEnd_.Tick(dialog_);
        if (fds[1].revents & POLLIN && claim_.TakeRequests()) dialog_.Post(WM_ACTIVATEAPP, TRUE, 0);
        if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) frontEnd_.OnInput(dialog_);
    }

    Dialog& dialog_;
    FrontEnd& frontEnd_;
    InstanceClaim claim_;
};

int Dialog::RunModal(FrontEnd& frontEnd) { return ModalLoop(*this, frontEnd).Run(); }

int Dialog::RunModal() {
    std::unique_ptr<FrontEnd> frontEnd = MakeFrontEnd(CurrentUiSettings(), script_);
    return RunModal(*frontEnd);
}

}  // namespace orb
