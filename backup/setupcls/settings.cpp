// The settings of one setup run, the setup media's "setup.inf" and the
// setup log.
#include <mutex>
#include <cstring>
#include <string>

#include "backup/setupcls/setupcls.h"
#include "backup/kstool/kstool.h"
#include "platform/filelock.h"
#include "platform/ini.h"
#include "platform/machine.h"

const char* const CSetupIcf::m_sDefaultFilename = "setup.icf";

namespace {

// The mailslot of the settings initialised last. Never destroyed: another
// thread may send a status while the process ends.
struct Current {
    std::mutex lock;
    std::string mailslot;
};
Current& TheCurrent() {
    static Current* const current = new Current;
    return *current;
}

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
    Current& current = TheCurrent();
    std::lock_guard<std::mutex> hold(current.lock);
    current.mailslot = mailslot_;
}

void CSettings::Log(const std::string& line) const {
    if (logFile_.empty()) return;
    char stamped[1024];
    DWORD n = KsToolFormatLogLine(line.c_str(), stamped, sizeof(stamped));
    if (n > 0) orb::AppendLocked(orb::MachineFilePath(logFile_), stamped, n);
}

std::string CSettings::CurrentMailslot() {
    Current& current = TheCurrent();
    std::lock_guard<std::mutex> hold(current.lock);
    return current.mailslot;
}
