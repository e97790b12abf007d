// The worker object, the binding step and the pass.
#include "publisher/PublisherWorker.h"

#include "framework/nwomapi/orbom_codes.h"
#include "kestorb/KestCodes.h"
#include "platform/registry.h"
#include "publisher/DiscoveryPass.h"
#include "publisher/PublisherLog.h"
#include "publisher/Views.h"

namespace publisher {
namespace {

constexpr const char* kOlderProductKey = "SOFTWARE\\NorwindSystems\\VaultlineIT\\Base\\Path";

bool OlderProductInstalled() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOlderProductKey, 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

}  // namespace

void PostStatus(PublishRun& run, const std::string& text) {
    run.statusText = text;
    if (run.onProgress) run.onProgress(run);
}

void PostStatus(PublishRun& run, int number) { PostStatus(run, UiText(run.ui, number)); }

CPublisherWorker::CPublisherWorker()
    : olderProduct(OlderProductInstalled() ? 1 : 0), winsockStarted_(true) {}

CPublisherWorker::~CPublisherWorker() {
    ReleaseWinsock();
    binding.Release();
}

int32_t BindAndInitialize(CPublisherWorker& worker, PublishRun& run) {
    int32_t rc = worker.binding.Load("KestOrb.DLL");
    run.bindResult = rc;
    run.processed = 0;
    run.created = 0;
    if (rc != 0) {
        WriteLog("Failed to Load API in KestOrb.DLL");
    } else {
        PostStatus(run, 5);
        rc = worker.binding.OpenContext(run.repositoryName.c_str(), run.userName.c_str(),
                                        run.password.c_str(), run.debugSwitch, 1);
        if (rc != 0) {
            run.repositoryName.clear();
            PostStatus(run, 8);
        }
    }
    worker.lastResult = rc;
    return rc;
}

bool PublishPass(CPublisherWorker& worker, PublishRun& run) {
    bool ok = BindAndInitialize(worker, run) == 0;
    if (ok && run.create) {
        ok = CreateBusinessViews(worker, run) == 1;
        // Both views are rebuilt even when the first failed.
        if (worker.olderProduct && CreateVaultlineView(worker, run) != 1) ok = false;
        if (ok) ok = ReadDiscoveryTable(worker, run) == 1;
    }
    // The repository refuses every write once it found its file damaged.
    if (worker.lastResult == ORBOM_RC_REPOSITORY_DAMAGED) {
        WriteLogF(" The repository is damaged (%s<%d>): the pass stops",
                  KestCodeName(worker.lastResult), static_cast<int>(worker.lastResult));
        return false;
    }
    return ok;
}

void RunThread(PublishRun* run) {
    if (!run->start.Wait()) return;
    if (run->stop.Wait(0)) {
        run->done.Set();
        return;
    }
    bool ok = false;
    try {
        if (run->worker != nullptr) {
            ok = PublishPass(*run->worker, *run);
            run->worker->ReleaseWinsock();
        }
    } catch (...) {
        ok = false;  // nothing crosses the thread's boundary
    }
    if (run->onEnd) run->onEnd(ok ? 0 : 1);
    run->done.Set();
}

}  // namespace publisher
