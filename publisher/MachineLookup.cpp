#include "publisher/MachineLookup.h"

#include <cctype>
#include <cstring>

#include "platform/resolver.h"

namespace publisher {

bool MakeMachineRecord(const std::string& cls, const std::string& name, KestMachineRecord* out) {
    if (cls.size() > kMaxMachineText || name.size() > kMaxMachineText) return false;
    KestMachineRecord machine{};
    machine.size = sizeof machine;
    std::memcpy(machine.machineClass, cls.data(), cls.size());
    std::memcpy(machine.machineName, name.data(), name.size());
    *out = machine;
    return true;
}

std::string LowerCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string ReverseResolvedName(const std::string& name) {
    orb::HostEntry host;
    if (!orb::CurrentResolver().HostByName(name, &host) || host.addresses.empty()) return "";
    orb::HostEntry reverse;
    if (!orb::CurrentResolver().HostByAddr(host.addresses.front(), &reverse)) return "";
    return reverse.name;
}

}  // namespace publisher
