// The host as telnet's argument: apart from the rest of the launcher so that
// the check can be fuzzed on its own.
#include <cctype>
#include <string>

#include "launcher/Launcher.h"
#include "platform/process.h"

namespace launcher {

bool TelnetTakesHost(const std::string& host) {
    if (host.empty() || host[0] == '-') return false;
    for (const char c : host) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isspace(byte) || std::iscntrl(byte)) return false;
    }
    return true;
}

std::string TelnetParameters(const std::string& host) { return orb::JoinCommandLine({"--", host}); }

}  // namespace launcher
