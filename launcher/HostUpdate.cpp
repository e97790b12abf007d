#include "launcher/HostUpdate.h"

#include <cstring>

#include "framework/nwomapi/nwomapi.h"
#include "platform/ini.h"
#include "platform/resource_media.h"
#include "publisher/MachineLookup.h"

namespace launcher {
namespace {

const char* const kObjectClass = "Vaultline";
const char* const kFallbackClass = "Unclassified_TCP";
const char* const kView = "VLO View";
constexpr size_t kHostListSize = 512;
constexpr size_t kPropertySize = 256;
constexpr unsigned kDialogId = 102;
constexpr unsigned kIconId = 128;
constexpr UINT kTextStart = 1;

}  // namespace

bool CHostUpdateWorker::Run(HostUpdateJob& job, const std::string& iniPath) {
    int32_t rc = binding_.Load(library_.c_str(), publisher::KestExportSet::Launcher);
    job.counters = {0, 0};
    if (rc == 0) {
        rc = binding_.OpenContext(job.repository.c_str(), job.user.c_str(), job.password.c_str(), 0,
                                  1);
        if (rc != 0) job.repository.clear();
    }
    status_ = rc;
    if (rc != 0) return false;

    char list[kHostListSize] = {};
    GetPrivateProfileStringA("Default", "HostList", "SunOS", list, sizeof list, iniPath.c_str());
    const std::string classes = list;
    for (size_t from = 0;;) {
        const size_t bar = classes.find('|', from);
        const std::string cls = classes.substr(from, bar == std::string::npos ? bar : bar - from);
        int32_t count = 0;
        UUID uuid{};
        if (Lookup(cls, job.hostName, &count, &uuid) == 0 && count == 1) {
            RepairLabel(uuid);
        }
        RefreshView();
        if (bar == std::string::npos) break;
        from = bar + 1;
    }
    return true;
}

int32_t CHostUpdateWorker::Find(const std::string& cls, const std::string& name, int32_t* count,
                                UUID* uuid) {
    KestMachineRecord machine;
    if (!publisher::MakeMachineRecord(cls, name, &machine)) return ORBOM_RC_NO_MATCH;
    status_ = binding_.GetObjectUUID(kObjectClass, &machine, count, uuid);
    return status_;
}

int32_t CHostUpdateWorker::Lookup(const std::string& cls, const std::string& host, int32_t* count,
                                  UUID* uuid) {
    *count = 0;
    const std::string lower = publisher::LowerCase(host);
    // The first answer other than "not there" ends the search: a lost
    // connection or a full disk is reported as itself, never as a host
    // that was not found by a later attempt.
    // A host too long for the job's field is never cut into another
    // machine's name: only its resolved name is tried.
    if (host.size() < kJobHostField) {
        for (const std::string* name : {&host, &lower}) {
            for (const std::string& machineClass : {cls, std::string(kFallbackClass)}) {
                const int32_t rc = Find(machineClass, *name, count, uuid);
                if (!publisher::MachineWalkGoesOn(rc)) return rc;
            }
        }
    }
    const std::string resolved = publisher::ReverseResolvedName(lower);
    if (!resolved.empty()) {
        for (const std::string& machineClass : {cls, std::string(kFallbackClass)}) {
            const int32_t rc = Find(machineClass, resolved, count, uuid);
            if (!publisher::MachineWalkGoesOn(rc)) return rc;
        }
    }
    // Not there under any name: nothing to repair.
    *count = 0;
    return 0;
}

void CHostUpdateWorker::RepairLabel(const UUID& uuid) {
    status_ = binding_.OpenObject(kObjectClass, &uuid);
    if (status_ != 0) return;
    char name[kPropertySize] = {};
    int32_t isNull = 0;
    uint32_t size = sizeof name;
    status_ = binding_.GetPropString("name", name, &isNull, &size);
    // The label is only ever written from a name that was actually read.
    const bool read = status_ == 0 && isNull == 0;
    if (read) {
        std::string label(name, strnlen(name, sizeof name));
        const size_t colon = label.find_last_of(':');
        if (colon != std::string::npos) label.resize(colon);
        status_ = binding_.SetPropString("label", label.c_str(), 0);
    }
    status_ = binding_.CloseObject(read ? 1 : 0);
}

void CHostUpdateWorker::RefreshView() {
    status_ = binding_.BPVCreate(kView, &view_);
    if (status_ == 0) status_ = binding_.BPVPopulate(kView, kObjectClass);
}

CHostUpdateDlg::CHostUpdateDlg(HINSTANCE resources, std::string host, HostUpdateServices services)
    : resources_(resources), host_(std::move(host)), services_(std::move(services)) {
    if (!LoadTemplate(resources_, kDialogId)) {
        // Without the resource library the job still runs, in a bare dialog.
        AddControl(kBanner, orb::ControlKind::Text);
        AddControl(kStatus, orb::ControlKind::Text);
        for (int id : kCounters) AddControl(id, orb::ControlKind::Counter);
        AddControl(kCheck, orb::ControlKind::CheckBox);
        AddControl(IDOK, orb::ControlKind::Button);
        AddControl(IDCANCEL, orb::ControlKind::Button);
    }
    SetStatusControl(kStatus);
}

CHostUpdateDlg::~CHostUpdateDlg() = default;

void CHostUpdateDlg::OnInitDialog() {
    SetIcon(orb::LoadIconRows(resources_, kIconId));
    for (int i = 0; i < 2; ++i) counters_[i].SubclassDlgItem(kCounters[i], this, resources_);
    std::string caption;
    if (orb::LoadResourceText(resources_, kTextStart, &caption)) SetItemText(IDOK, caption);
    EnableItem(IDCANCEL, true);
    CheckItem(kCheck, false);
    ShowItem(kBanner, true);
    OnOK();
}

void CHostUpdateDlg::OnCommand(int id) {
    if (id == IDOK) OnOK();
    if (id == IDCANCEL) EndDialog(IDCANCEL);
}

void CHostUpdateDlg::OnOK() {
    if (job_.repository.empty() && !TestRepository()) {
        if (services_.closeWhenUnreachable) EndDialog(IDCANCEL);
        return;
    }
    job_.worker = std::make_unique<CHostUpdateWorker>(services_.library);
    job_.hostName = host_;
    if (job_.worker->Run(job_, services_.iniPath)) jobDone_ = true;
    EndDialog(IDCANCEL);
}

bool CHostUpdateDlg::TestRepository() {
    job_.repository.clear();
    const std::string candidate = services_.repositoryName ? services_.repositoryName() : "";
    if (candidate.empty()) return false;
    job_.repository = ProbeRepositoryNamed(services_.probe, candidate);
    return !job_.repository.empty();
}

}  // namespace launcher
