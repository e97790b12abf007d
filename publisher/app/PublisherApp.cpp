#include "publisher/app/PublisherApp.h"

#include <cstdio>

#include "kestorb/KestOrb.h"
#include "platform/dynload.h"
#include "platform/instance.h"
#include "platform/registry.h"
#include "platform/resource.h"
#include "platform/ui.h"
#include "publisher/PublisherLog.h"
#include "publisher/app/PublisherDlg.h"
#include "publisher/app/batch_options.h"
#include "publisher/app/framework_client.h"
#include "publisher/app/publish_engine.h"

CPublisherApp::~CPublisherApp() {
    if (resources_ != nullptr) FreeLibrary(static_cast<HMODULE>(resources_));
}

std::string CPublisherApp::Text(unsigned id) const {
    char buffer[512] = {};
    LoadStringA(static_cast<HINSTANCE>(resources_), id, buffer, sizeof buffer);
    return buffer;
}

bool CPublisherApp::AnotherInstance() const {
    const std::string title = Text(24);
    HWND other = title.empty() ? nullptr : FindWindowA(nullptr, title.c_str());
    if (other == nullptr) return false;
    ShowWindow(other, SW_SHOWNA);
    SetForegroundWindow(other);
    return true;
}

std::string CPublisherApp::HelpPath() const {
    const std::string name = Text(25);
    return orb::ProgramDirectory() + "/" + (name.empty() ? "Vlmgr.hlp" : name);
}

int CPublisherApp::Run(const std::vector<std::string>& args) {
    resources_ = LoadLibraryA("NWOrbIntRes.dll");
    if (resources_ == nullptr) {
        std::fprintf(stderr, "ksorbx: the resource library NWOrbIntRes.dll cannot be loaded\n");
        return 1;
    }
    // The publisher's settings, the framework's and the backup product's all
    // live in the registry; on a damaged hive the pass would read defaults,
    // publish nothing and still report success.
    if (!orb::RegHiveUsable("ksorbx")) return 1;
    std::string line;
    const BatchOptions options = TakeBatchOptions(args, &line);
    const std::string title = Text(24);
    // The instance is claimed before any work, in one step, so that of two
    // programs started at once exactly one goes on.
    const orb::InstanceClaimResult claim = orb::ClaimInstance(title);
    if (claim == orb::InstanceClaimResult::HeldElsewhere) {
        AnotherInstance();
        // A script must not take the other instance's pass for its own.
        if (options.batch) std::printf("ksorbx: another instance is running\n");
        return options.batch ? 1 : 0;
    }
    if (claim == orb::InstanceClaimResult::Failed && !title.empty()) {
        std::fprintf(stderr, "ksorbx: the single-instance lock cannot be taken\n");
        return 1;
    }
    HINSTANCE resources = static_cast<HINSTANCE>(resources_);

    CPublisherDlg* dialog = nullptr;
    publisher::PublisherUi ui;
    ui.text = [this](int number) { return Text(static_cast<unsigned>(number)); };
    ui.message = [title](const std::string& m) { MessageBoxA(nullptr, m.c_str(), title.c_str(), MB_OK); };
    ui.confirm = [title](const std::string& q) {
        return MessageBoxA(nullptr, q.c_str(), title.c_str(), MB_OKCANCEL) == IDOK;
    };
    ui.status = [&dialog](const std::string& s) {
        if (dialog != nullptr) dialog->SetItemText(kStatus, s);
    };
    ProbeContext probe;
    probe.client = FrameworkRepositoryClient();
    probe.log = [](const std::string& l) { publisher::WriteLog(l.c_str()); };
    probe.message = ui.message;
    probe.text = [this](UINT id) { return Text(id); };

    CPublisherDlg dlg(resources, ParsePublisherCommandLine(line), probe, MakePublishEngine(ui),
                      HelpPath());
    dialog = &dlg;
    if (options.batch) {
        auto frontEnd = orb::MakeBatchFrontEnd(PublisherBatchScript(options), options.yes);
        dlg.RunModal(*frontEnd);
        // The log says why a pass could not bind its library only while
        // "Debug" is 1; a script always learns it here.
        if (dlg.LibraryResult() == KESTORB_ERR_LOAD_LIBRARY) {
            std::fprintf(stderr,
                         "ksorbx: the object library KestOrb.DLL cannot be loaded "
                         "(error %d): nothing was published\n",
                         KESTORB_ERR_LOAD_LIBRARY);
        } else if (dlg.LibraryResult() == KESTORB_ERR_GETPROCADDRESS) {
            std::fprintf(stderr,
                         "ksorbx: the object library KestOrb.DLL lacks a function the pass "
                         "needs (error %d): nothing was published\n",
                         KESTORB_ERR_GETPROCADDRESS);
        }
        // A script learns how much of its pass the repository failed; the
        // log holds which records and why.
        if (dlg.FailedRecords() > 0) {
            std::fprintf(stderr, "ksorbx: %u record(s) not published: the repository failed\n",
                         static_cast<unsigned>(dlg.FailedRecords()));
        }
        return dlg.Outcome() == 0 ? 0 : 1;
    }
    dlg.RunModal();
    return 0;
}
