// Host look-up (the Winsock gethostbyname/gethostbyaddr the programs use),
// through the system resolver by default. ORB_HOSTS=FILE answers every
// look-up from that hosts(5) file alone. Tests install their own resolver.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orb {

struct HostEntry {
    std::string name;                    // official (canonical) name
    std::vector<std::string> aliases;
    std::vector<std::string> addresses;  // IPv4, dotted quad
};

class Resolver {
public:
    virtual ~Resolver() = default;
    // false when the name is unknown.
    virtual bool HostByName(const std::string& name, HostEntry* out) = 0;
    // address is a dotted quad; false when it has no name.
    virtual bool HostByAddr(const std::string& address, HostEntry* out) = 0;
};

Resolver& SystemResolver();
// The installed resolver, else the ORB_HOSTS file, else the system resolver.
Resolver& CurrentResolver();
// Installs a resolver (null restores the system one). For tests.
void SetResolver(Resolver* resolver);

// The IPv4 addresses of a host name through CurrentResolver; a dotted quad
// stands for itself, as gethostbyname answers it. Empty when unknown.
std::vector<std::string> HostAddresses(const std::string& nameOrAddress);
// true for an IPv6 address written as text ("::1"), which no look-up answers.
bool IsIPv6Literal(const std::string& text);

}  // namespace orb
