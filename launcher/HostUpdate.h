// The host update job of "ksuxgo -d HOST": finds the host's backup-server
// object ("Vaultline") under its machine, sets its "label" from its
// "name", and keeps the view "VLO View" filled with every backup-server
// object, inside a small dialog that starts the job by itself.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/dynload.h"
#include "platform/ui.h"
#include "publisher/KestBinding.h"
#include "publisher/app/repository_name.h"
#include "publisher/counter/DigitCounter.h"

namespace launcher {

// The host field of the job (43 characters and the terminator).
inline constexpr size_t kJobHostField = 44;

class CHostUpdateWorker;

// The job record the dialog owns for as long as it lives.
struct HostUpdateJob {
    std::unique_ptr<CHostUpdateWorker> worker;
    std::string hostName;
    std::string repository;  // found by the repository test; emptied when unusable
    std::string user;        // always empty: the job connects without signing on
    std::string password;
    std::array<int32_t, 2> counters{};
};

// Binds the library (39 names), opens a context on the job's repository and
// walks the machine classes of "HostList". Destroying it closes the context
// and releases the library.
class CHostUpdateWorker {
  public:
    explicit CHostUpdateWorker(std::string library = "KestOrb.DLL")
        : library_(std::move(library)) {}

    // false when the library could not be bound or the context not opened
    // (the job's repository name is then emptied); true when the list was
    // walked, whatever the look-ups found.
    bool Run(HostUpdateJob& job, const std::string& iniPath);
    // The code of the last library call (0: success).
    int32_t Status() const { return status_; }

  private:
    int32_t Lookup(const std::string& cls, const std::string& host, int32_t* count, UUID* uuid);
    int32_t Find(const std::string& cls, const std::string& name, int32_t* count, UUID* uuid);
    void RepairLabel(const UUID& uuid);
    void RefreshView();

    std::string library_;
    publisher::CKestBinding binding_;
    int32_t status_ = 0;
    UUID view_{};
};

// What the dialog needs from outside; tests replace the repository client
// and the computer's repository name.
struct HostUpdateServices {
    ProbeContext probe;   // client, message box and texts; no log
    std::string iniPath;  // the launcher's INI file ("HostList")
    std::string library = "KestOrb.DLL";
    // The candidate repository: the computer name ("_ORBDB" on a 025
    // framework); empty when the computer has no name.
    std::function<std::string()> repositoryName;
    // Batch runs: end the dialog when no repository can be reached, as no
    // operator is there to press OK again.
    bool closeWhenUnreachable = false;
};

// Dialog 102 of the resource library. Its initialisation runs the OK
// handling at once: the repository test, then the job; the dialog ends
// when the job returns and stays open only when no repository was reached.
class CHostUpdateDlg : public orb::Dialog {
  public:
    static constexpr int kStatus = 1002;
    static constexpr int kCounters[2] = {1003, 1004};
    static constexpr int kBanner = 1008;
    static constexpr int kCheck = 1009;

    CHostUpdateDlg(HINSTANCE resources, std::string host, HostUpdateServices services);
    ~CHostUpdateDlg() override;

    // true once a job bound the library and opened its context.
    bool JobDone() const { return jobDone_; }
    const HostUpdateJob& Job() const { return job_; }

  protected:
    void OnInitDialog() override;
    void OnCommand(int id) override;

  private:
    void OnOK();
    bool TestRepository();

    HINSTANCE resources_;
    std::string host_;
    HostUpdateServices services_;
    HostUpdateJob job_;
    CDigitCounter counters_[2];
    bool jobDone_ = false;
};

}  // namespace launcher
