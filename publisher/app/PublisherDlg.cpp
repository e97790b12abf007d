#include "publisher/app/PublisherDlg.h"

#include <utility>

#include "backup/kestprod/kestprod.h"
#include "platform/resource.h"
#include "platform/resource_media.h"

namespace {
const char* const kHelpTopic = "Using_object_creation.htm";
}

CPublisherDlg::CPublisherDlg(HINSTANCE resources, PublisherCommandLine command,
                             ProbeContext probe, std::unique_ptr<PassEngine> engine,
                             std::string helpPath)
    : resources_(resources),
      command_(std::move(command)),
      probe_(std::move(probe)),
      engine_(std::move(engine)),
      helpPath_(std::move(helpPath)) {
    LoadTemplate(resources_, 102);
    SetStatusControl(kStatus);
}

CPublisherDlg::~CPublisherDlg() {
    // Nothing may outlive the dialog that its thread posts to.
    if (running_) Stop(false);
    if (engine_) engine_->DestroyWorker();
}

std::string CPublisherDlg::Text(UINT id) const {
    char buffer[512] = {};
    LoadStringA(resources_, id, buffer, sizeof buffer);
    return buffer;
}

void CPublisherDlg::OnInitDialog() {
    processed_.SubclassDlgItem(kProcessed, this, resources_);
    created_.SubclassDlgItem(kCreated, this, resources_);
    SetIcon(orb::LoadIconRows(resources_, 128));
    ShowIdle(true);
    CheckItem(kDeleteFirst, false);
    CheckItem(kCreateObjects, true);
    CheckItem(kOption1013, true);
    OpenAnimation(kAnimation, orb::LoadAnimationFrames(resources_, 144));
}

void CPublisherDlg::ShowIdle(bool idle) {
    SetItemText(kStartStop, Text(idle ? 1 : 2));
    EnableItem(kClose, idle);
}

void CPublisherDlg::OnCommand(int id) {
    switch (id) {
        case kStartStop:
            if (running_)
                Stop(true);
            else
                Start();
            break;
        case kClose:
            OnClose();
            break;
        case kHelp:
            OnHelp();
            break;
        default:
            break;
    }
}

void CPublisherDlg::Start() {
    if (repository_.empty()) {
        repository_ = ProbeRepository(probe_, command_);
        if (repository_.empty()) {
            outcome_ = 1;
            return;
        }
    }
    if (IsItemChecked(kDeleteFirst)) {
        EnableItem(kStartStop, false);
        EnableItem(kClose, false);
        const bool deleted = engine_->DeletePublished(repository_);
        EnableItem(kStartStop, true);
        EnableItem(kClose, true);
        if (!deleted) {
            outcome_ = 1;
            return;
        }
        outcome_ = 0;
    }
    PassRequest request;
    request.repository = repository_;
    request.create = IsItemChecked(kCreateObjects) ? 1 : 0;
    request.option1013 = IsItemChecked(kOption1013) ? 1 : 0;
    request.debug = command_.debug ? 1 : 0;
    // A Start that only tested the repository (and deleted, when asked) has
    // done all it was asked to.
    if (!request.create) {
        outcome_ = 0;
        return;
    }
    if (!engine_->CreateWorker()) {
        outcome_ = 1;
        return;
    }
    engine_->Release(
        request, [this] { Post(WM_PUBLISH_PROGRESS); },
        [this](int failed) { Post(WM_PUBLISH_END, failed ? 1 : 0); });
    running_ = true;
    PlayAnimation(kAnimation, true);
    ShowIdle(false);
    processed_.SetValue(0);
    created_.SetValue(0);
}

void CPublisherDlg::Stop(bool fromButton) {
    if (fromButton) {
        SetItemText(kStatus, Text(10));
        EnableItem(kStartStop, false);
    }
    if (engine_->HasThread()) engine_->StopThread();
    const PassProgress last = engine_->Progress();
    failed_ = last.failed;
    bindResult_ = last.bindResult;
    running_ = false;
    PlayAnimation(kAnimation, false);
    ShowIdle(true);
    // The pass empties the name when the library could not open it.
    repository_ = engine_->Repository();
    engine_->DestroyWorker();
    if (fromButton) {
        SetItemText(kStatus, Text(11));
        EnableItem(kStartStop, true);
    }
}

void CPublisherDlg::ShowProgress() {
    const PassProgress progress = engine_->Progress();
    SetItemText(kStatus, progress.status);
    processed_.SetValue(progress.processed);
    created_.SetValue(progress.created);
}

void CPublisherDlg::OnMessage(UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_PUBLISH_PROGRESS) {
        if (engine_->HasThread()) ShowProgress();
    } else if (message == WM_PUBLISH_END) {
        // An end posted by a pass the operator already stopped is stale:
        // it must not turn "stopped" into "done".
        if (!running_) return;
        outcome_ = wParam == 0 ? 0 : 1;
        if (wParam == 0) SetItemText(kStatus, Text(9));
        Stop(false);
    }
}

void CPublisherDlg::OnClose() {
    if (running_) Stop(false);
    engine_->DestroyWorker();
    EndDialog(IDCANCEL);
}

void CPublisherDlg::OnHelp() { KestProdHelp(nullptr, helpPath_.c_str(), 1, kHelpTopic); }
