// Fuzzes the launcher's check of a host name for telnet: a name it lets
// through reaches telnet as exactly one argument after "--", never as an
// option or as several words.
// fuzz-sources: launcher/TelnetHost.cpp platform/cmdline.cpp
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "launcher/Launcher.h"
#include "platform/process.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The host buffer holds 255 characters.
    const std::string host(reinterpret_cast<const char*>(data),
                           size < launcher::kHostBufferSize ? size : launcher::kHostBufferSize - 1);
    if (!launcher::TelnetTakesHost(host)) return 0;
    if (host.empty() || host[0] == '-') abort();
    for (const char c : host) {
        if (std::isspace(static_cast<unsigned char>(c))) abort();
    }
    const std::vector<std::string> argv =
        orb::SplitCommandLine("telnet " + launcher::TelnetParameters(host));
    if (argv != std::vector<std::string>{"telnet", "--", host}) abort();
    return 0;
}
