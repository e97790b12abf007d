// Business process views through the KestOrb binding.
#include "publisher/Views.h"

#include "publisher/PublisherLog.h"

namespace publisher {
namespace {

// Every view this and earlier product generations made, oldest first.
constexpr const char* kOldViews[] = {
    "Vaultline View", "VaultlineIT View", "VLO View",
    "VLO/VaultlineIT View", "LumoraEB View", "Lumora Vaultline Backup",
};

// The code as the worker's last result; true when it is 0.
bool Succeeded(CPublisherWorker& worker, int32_t rc) {
    worker.lastResult = rc;
    return rc == 0;
}

}  // namespace

int CreateBusinessViews(CPublisherWorker& worker, PublishRun& run) {
    CKestBinding& kest = worker.binding;
    PostStatus(run, 4);
    WriteLog("Creating Business Process View...");
    for (const char* view : kOldViews) worker.lastResult = kest.BPVDelete(view);
    int32_t rc = kest.BPVCreate("Lumora Vaultline Backup", &worker.viewId);
    if (!Succeeded(worker, rc)) {
        WriteLogF("Error Creating Business Process View [%lu]\r\n", static_cast<unsigned long>(rc));
        PostStatus(run, 7);
        return 0;
    }
    WriteLog("Business Process View Created");
    PostStatus(run, 6);
    rc = kest.BPVAddInclusionObject("ManagedObjectRoot", "BusinessView", &worker.viewId);
    if (!Succeeded(worker, rc)) {
        WriteLogF("Error Populating Business Process View into ManagedObjectRoot class [%lu]",
                  static_cast<unsigned long>(rc));
        PostStatus(run, 7);
        return 0;
    }
    rc = kest.BPVPopulate("Lumora Vaultline Backup", "LumoraVB");
    if (!Succeeded(worker, rc)) {
        WriteLogF("Error Populating Business Process View [%lu]", static_cast<unsigned long>(rc));
        PostStatus(run, 19);
        return 0;
    }
    WriteLog("Business Process View Populated");
    return 1;
}

int CreateVaultlineView(CPublisherWorker& worker, PublishRun& run) {
    CKestBinding& kest = worker.binding;
    PostStatus(run, 4);
    WriteLog("Creating Business Process Vaultline View...");
    int32_t rc = kest.BPVCreate("Vaultline View", &worker.viewId);
    if (!Succeeded(worker, rc)) {
        WriteLogF("Error Creating Business Process Vaultline View [%lu]\r\n",
                  static_cast<unsigned long>(rc));
        PostStatus(run, 7);
        return 0;
    }
    WriteLog("Business Process Vaultline View Created");
    PostStatus(run, 6);
    rc = kest.BPVPopulate("Vaultline View", "Vaultline");
    if (!Succeeded(worker, rc)) {
        WriteLogF("Error Populating Business Vaultline Process View [%lu]",
                  static_cast<unsigned long>(rc));
        PostStatus(run, 19);
        return 0;
    }
    WriteLog("Business Process Vaultline View Populated");
    return 1;
}

}  // namespace publisher
