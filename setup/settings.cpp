// The setup settings every action starts from.
#include <algorithm>
#include <cstring>
#include <string>

#include "platform/dynload.h"
#include "setup/actions.h"

namespace orbf {
namespace {

// The 32-bit component value the setup class library expects at 2080.
constexpr DWORD kComponentFlags = 96;

void PutText(tagSETUP_INFO& info, size_t offset, const std::string& text) {
    size_t n = std::min<size_t>(text.size(), MAX_PATH - 1);
    std::memcpy(info.bytes + offset, text.data(), n);
    info.bytes[offset + n] = '\0';
}

}  // namespace

CSettings& Settings() {
    static CSettings* const settings = new CSettings;  // read by actions until the process ends
    return *settings;
}

void InitSetupSettings(MSIHANDLE install, int mode) {
    std::string directory;
    bool read = ReadProperty(install, mode == 1 ? "INSTALLDIR" : "SOURCEDIR", MAX_PATH, &directory);
    if (directory.empty()) read = ReadProperty(install, "SETUPDIR", MAX_PATH, &directory);
    // Only a property that cannot be read sends the actions to the setup
    // program's own directory; empty ones leave the current directory.
    if (!read) directory = orb::ProgramDirectory() + "/";
    tagSETUP_INFO info{};
    PutText(info, kSetupInfoDirectory, directory);
    PutText(info, kSetupInfoLogFile, kSetupLogFile);
    std::memcpy(info.bytes + kSetupInfoFlags, &kComponentFlags, sizeof(kComponentFlags));
    Settings() = CSettings(info, mode);
    Settings().Initialize();
}

void SendStatus(int phase, int state) {
    if (Settings().UseStatusMailslot())
        CRemoteMailslot::SendStatus(Settings().GetMailslotName().c_str(), phase, state);
}

}  // namespace orbf
