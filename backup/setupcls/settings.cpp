// The settings of one setup run, the setup media's "setup.inf" and the
// setup log.
#include <atomic>
#include <cstring>
#include <string>

#include "backup/setupcls/setupcls.h"
#include "backup/kstool/kstool.h"
#include "platform/filelock.h"
#include "platform/ini.h"
#include "platform/machine.h"

const char* const CSetupIcf::m_sDefaultFilename = "setup.icf";

namespace {

// Current settings: each Initialize publishes a copy (never freed: a copy
// may be read while another action initialises new settings).
std::atomic<const CSettings*> g_current{nullptr};

std::string Field(const tagSETUP_INFO& info, size_t offset, size_t width) {
    const char* text = reinterpret_cast<const char*>(info.bytes + offset);
    return std::string(text, strnlen(text, width));
}

}  // namespace

int CSetupInf::GetProductSubType() const {
    if (path_.empty()) return 0;
    return static_cast<int>(GetPrivateProfileIntA("Setup", "ProductSubType", 0, path_.c_str()));
}

CSettings::CSettings(const tagSETUP_INFO& info, int mode)
    : mode_(mode),
      setupDir_(Field(info, kSetupInfoDirectory, MAX_PATH)),
      logFile_(Field(info, kSetupInfoLogFile, MAX_PATH)) {
    std::memcpy(&flags_, info.bytes + kSetupInfoFlags, sizeof(flags_));
}

void CSettings::Initialize() {
    for (char& c : setupDir_)
        if (c == '\\') c = '/';
    if (!setupDir_.empty() && setupDir_.back() != '/') setupDir_ += '/';
    char mailslot[MAX_PATH] = {};
    GetPrivateProfileStringA("Setup", "StatusMailslot", "", mailslot, sizeof(mailslot),
                             (setupDir_ + "setup.inf").c_str());
    mailslot_ = mailslot;
    vaultlineInstalled_ = !CKestRegistry().GetVaultlineHomeDir().empty();
    Log("Settings initialized, mode " + std::to_string(mode_) + ", setup directory " + setupDir_);
    g_current.store(new CSettings(*this));
}

void CSettings::Log(const std::string& line) const {
    if (logFile_.empty()) return;
    char stamped[1024];
    DWORD n = KsToolFormatLogLine(line.c_str(), stamped, sizeof(stamped));
    if (n > 0) orb::AppendLocked(orb::MachineFilePath(logFile_), stamped, n);
}

const CSettings* CSettings::Current() { return g_current.load(); }
