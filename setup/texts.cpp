// The library's own texts (used until InitRes names a resource module, and
// for any number that module lacks), and the safe message formatter.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>

#include "platform/resource.h"
#include "setup/actions.h"

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// "%s" inserts come from the formatter in FormatText; "%%" is a literal "%"
// that survives one formatting pass, for texts formatted twice (1617).
const std::map<unsigned, const char*>& Table() {
    static const std::map<unsigned, const char*> table = {
        {727, "Sentinex Orb Integration Setup"},
        {772, "Only an administrator of this machine can install or remove the integration."},
        {788, "An installation of %s exists already on this machine."},
        {813, "The backup product and its manager are not installed on this machine."},
        {838, "The backup product is installed without its manager. Install the manager first."},
        {884, "The SNMP service is not installed on this machine."},
        {887, "The framework's Orbmap component is not installed on this machine."},
        {1368, "The %s of the installed backup product differs from the setup media of %s."},
        {1435, "The integration cannot be installed on this system version (5.1)."},
        {1509, "Sentinex Orb Integration for Lumora Vaultline Backup"},
        {1617, "The backup product on %%s is not the %s edition this setup requires."},
        {1618, "The backup product is not installed on %s, or it is not an edition the "
               "integration supports."},
        {1627, "The backup product installed on %s cannot take the integration."},
        {1699, "The SNMP extension agent registration was updated."},
        {1707, "Stopping the SNMP service..."},
        {1721, "Enterprise Server"},
        {1724, "Workgroup"},
        {1725, "Standard"},
        {1728, "Advanced"},
        {1729, "Enterprise"},
        {1756, "%s cannot configure the remote machine %s. Run it on that machine."},
        {1781, "unknown"},
        {1812, "%s of %s is installed. This setup upgrades it to the build on the media."},
        {3508, "version"},
        {3893, "%s is installed, but its configuration tool did not start. Start the %s "
               "configuration from the framework's Bin folder."},
    };
    return table;
}

HINSTANCE g_resources = nullptr;

}  // namespace

EXPORT const char* OrbResourceString(unsigned id) {
    auto it = Table().find(id);
    return it != Table().end() ? it->second : nullptr;
}

namespace orbf {

void SetResourceModule(HINSTANCE module) { g_resources = module; }
HINSTANCE ResourceModule() { return g_resources; }

std::string Text(unsigned id) {
    if (g_resources != nullptr) {
        char buffer[1024];
        if (LoadStringA(g_resources, id, buffer, sizeof(buffer)) > 0) return buffer;
    }
    const char* own = OrbResourceString(id);
    return own != nullptr ? own : "";
}

std::string FormatText(const std::string& format, const std::vector<std::string>& args) {
    std::string out;
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 == format.size()) {
            out += format[i];
            continue;
        }
        char kind = format[i + 1];
        if (kind == '%') {
            out += '%';
            ++i;
        } else if (kind == 's' || kind == 'd') {
            if (next < args.size()) out += args[next];
            ++next;
            ++i;
        } else {
            out += '%';
        }
    }
    return out;
}

void CopyMessage(const std::string& text, LPSTR buffer, size_t size) {
    if (buffer == nullptr || size == 0) return;
    size_t n = std::min(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

}  // namespace orbf
