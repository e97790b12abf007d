// CPublisherDlg: the publisher's main dialog (dialog 102 of the resource
// library). Start tests the repository, optionally deletes what earlier
// passes published, and hands one publishing pass to a worker thread; the
// thread reports by posting WM_USER+1 (progress) and WM_USER+2 (end).
#pragma once

#include <memory>
#include <string>

#include "platform/ui.h"
#include "publisher/app/pass_engine.h"
#include "publisher/app/repository_name.h"
#include "publisher/counter/DigitCounter.h"

#define WM_PUBLISH_PROGRESS (0x0400 + 1)
#define WM_PUBLISH_END (0x0400 + 2)

// Control numbers of dialog 102.
enum PublisherControl {
    kStartStop = 1,
    kClose = 2,
    kHelp = 9,
    kStatus = 1002,
    kProcessed = 1003,
    kCreated = 1004,
    kDeleteFirst = 1009,
    kOption1013 = 1013,
    kCreateObjects = 1015,
    kAnimation = 1012,
};

class CPublisherDlg : public orb::Dialog {
  public:
    CPublisherDlg(HINSTANCE resources, PublisherCommandLine command, ProbeContext probe,
                  std::unique_ptr<PassEngine> engine, std::string helpPath);
    ~CPublisherDlg() override;

    bool Running() const { return running_; }
    // 0 when the last Start ended well (a pass ended with WM_USER+2 and 0,
    // or a deletion-only Start succeeded); 1 when it failed or was declined;
    // -1 before any Start.
    int Outcome() const { return outcome_; }
    const std::string& Repository() const { return repository_; }
    // Records the last pass could not publish for the repository's sake.
    uint32_t FailedRecords() const { return failed_; }
    // The last pass's binding of the object library (0, 4101 or 4102).
    int32_t LibraryResult() const { return bindResult_; }

  protected:
    void OnInitDialog() override;
    void OnCommand(int id) override;
    void OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnClose() override;
    void OnHelp() override;

  private:
    std::string Text(UINT id) const;
    void Start();
    // fromButton: the operator pressed Stop (status texts 10 and 11).
    void Stop(bool fromButton);
    void ShowIdle(bool idle);
    void ShowProgress();

    HINSTANCE resources_;
    PublisherCommandLine command_;
    ProbeContext probe_;
    std::unique_ptr<PassEngine> engine_;
    std::string helpPath_;
    std::string repository_;
    CDigitCounter processed_;
    CDigitCounter created_;
    bool running_ = false;
    int outcome_ = -1;
    uint32_t failed_ = 0;
    int32_t bindResult_ = 0;
};
