// One publishing pass without any window. The program's dialog (or a test)
// owns a PublishRun, creates a CPublisherWorker at Start, runs RunThread on a
// worker thread and hears the pass through two callbacks that stand for the
// posted messages WM_USER+1 (progress) and WM_USER+2 (end of pass).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/sync.h"
#include "platform/uuid.h"
#include "publisher/KestBinding.h"
#include "publisher/Notice.h"
#include "publisher/RecordCache.h"

namespace publisher {

class CPublisherWorker;

// What the dialog thread and the worker thread share for one run.
struct PublishRun {
    CPublisherWorker* worker = nullptr;
    orb::Event start;  // auto reset: releases the worker thread
    orb::Event stop;   // auto reset: asks the worker thread to stop
    orb::Event done;   // auto reset: the worker thread's last action
    std::string statusText;
    uint32_t processed = 0;  // discovery records processed in this run
    uint32_t created = 0;    // backup objects published in this run
    uint32_t failed = 0;     // records not published for the repository's sake
    int32_t bindResult = 0;  // the object library's binding: 0, 4101 or 4102
    std::string repositoryName;
    std::string userName;  // always empty
    std::string password;  // always empty
    int create = 1;
    int option1013 = 1;
    int debugSwitch = 0;
    PublisherUi ui;
    // WM_USER+1: statusText, processed and created are to be shown.
    std::function<void(PublishRun& run)> onProgress;
    // WM_USER+2: wParam 0 when the pass succeeded, 1 when it failed.
    std::function<void(int failed)> onEnd;
};

// Sets the status text to text number of the ui and reports progress.
void PostStatus(PublishRun& run, int number);
void PostStatus(PublishRun& run, const std::string& text);

// The per-pass object: binding, change cache, view identifier, last result.
class CPublisherWorker {
public:
    CPublisherWorker();
    ~CPublisherWorker();
    CPublisherWorker(const CPublisherWorker&) = delete;
    CPublisherWorker& operator=(const CPublisherWorker&) = delete;

    // The host look-ups' counterpart of the Winsock start; idempotent.
    void ReleaseWinsock() { winsockStarted_ = false; }

    CKestBinding binding;
    CRecordCache cache{CRecordCache::kExact};
    UUID viewId{};
    int32_t lastResult = 0;
    // The publication's code of the record in hand (0 when none was tried).
    int32_t recordResult = 0;
    // 1 when the older product line is installed on this machine.
    int olderProduct = 0;
    // 0 when host look-ups may be made (the Winsock start's result).
    int32_t winsockResult = 0;

private:
    bool winsockStarted_ = false;
};

// Binds "KestOrb.DLL" and opens the context on run.repositoryName.
int32_t BindAndInitialize(CPublisherWorker& worker, PublishRun& run);

// The body of the worker thread: waits for the start event, runs one pass,
// reports its end and sets the done event. Never throws.
void RunThread(PublishRun* run);

// One pass after the start event: bind, views, discovery table. true on success.
bool PublishPass(CPublisherWorker& worker, PublishRun& run);

}  // namespace publisher
