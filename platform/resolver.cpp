// Host look-up through the system resolver (IPv4, as Winsock 1.0 answered).
#include "platform/resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <strings.h>

namespace orb {
namespace {

class SystemResolverImpl : public Resolver {
public:
    bool HostByName(const std::string& name, HostEntry* out) override {
        if (name.empty() || !out) return false;
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_CANONNAME;
        addrinfo* found = nullptr;
        if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || !found) return false;
        HostEntry entry;
        entry.name = found->ai_canonname ? found->ai_canonname : name;
        for (addrinfo* a = found; a; a = a->ai_next) {
            char text[INET_ADDRSTRLEN];
            auto* in = reinterpret_cast<sockaddr_in*>(a->ai_addr);
            if (!inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text))) continue;
            if (std::find(entry.addresses.begin(), entry.addresses.end(), text) == entry.addresses.end()) {
                entry.addresses.push_back(text);
            }
        }
        freeaddrinfo(found);
        if (entry.addresses.empty()) return false;
        *out = std::move(entry);
        return true;
    }

    bool HostByAddr(const std::string& address, HostEntry* out) override {
        sockaddr_in in{};
        in.sin_family = AF_INET;
        if (!out || inet_pton(AF_INET, address.c_str(), &in.sin_addr) != 1) return false;
        char host[NI_MAXHOST];
        if (getnameinfo(reinterpret_cast<sockaddr*>(&in), sizeof(in), host, sizeof(host), nullptr, 0,
                        NI_NAMEREQD) != 0) {
            return false;
        }
        *out = HostEntry{host, {}, {address}};
        return true;
    }
};

// The host table named by ORB_HOSTS (hosts(5) lines: an IPv4 address, then
// the official name and its aliases; '#' starts a comment). It is read at
// every look-up and is the only source: a name or address it does not hold
// is unknown, and a missing file knows no host at all. This keeps a machine
// that must not ask the network (a demonstration, an isolated test machine)
// from ever doing so.
class HostsFileResolver : public Resolver {
public:
    bool HostByName(const std::string& name, HostEntry* out) override {
        if (name.empty() || !out) return false;
        return Find(out, [&](const HostEntry& line) {
            if (strcasecmp(line.name.c_str(), name.c_str()) == 0) return true;
            return std::any_of(line.aliases.begin(), line.aliases.end(), [&](const std::string& alias) {
                return strcasecmp(alias.c_str(), name.c_str()) == 0;
            });
        });
    }

    bool HostByAddr(const std::string& address, HostEntry* out) override {
        in_addr wanted{};
        if (!out || inet_pton(AF_INET, address.c_str(), &wanted) != 1) return false;
        return Find(out, [&](const HostEntry& line) {
            in_addr have{};
            return inet_pton(AF_INET, line.addresses.front().c_str(), &have) == 1 &&
                   have.s_addr == wanted.s_addr;
        });
    }

private:
    template <typename Match>
    static bool Find(HostEntry* out, Match match) {
        const char* path = std::getenv("ORB_HOSTS");
        std::ifstream file(path ? path : "");
        std::string text;
        while (std::getline(file, text)) {
            text.erase(std::min(text.find('#'), text.size()));
            std::istringstream words(text);
            std::string address, name, alias;
            in_addr parsed{};
            if (!(words >> address >> name) || inet_pton(AF_INET, address.c_str(), &parsed) != 1) continue;
            HostEntry line{name, {}, {address}};
            while (words >> alias) line.aliases.push_back(alias);
            if (match(line)) {
                *out = std::move(line);
                return true;
            }
        }
        return false;
    }
};

bool HostsFileChosen() {
    const char* path = std::getenv("ORB_HOSTS");
    return path && *path;
}

std::atomic<Resolver*> g_resolver{nullptr};

}  // namespace

Resolver& SystemResolver() {
    static SystemResolverImpl resolver;
    return resolver;
}

Resolver& CurrentResolver() {
    Resolver* resolver = g_resolver.load(std::memory_order_acquire);
    if (resolver) return *resolver;
    if (HostsFileChosen()) {
        static HostsFileResolver hostsFile;
        return hostsFile;
    }
    return SystemResolver();
}

void SetResolver(Resolver* resolver) { g_resolver.store(resolver, std::memory_order_release); }

std::vector<std::string> HostAddresses(const std::string& nameOrAddress) {
    in_addr parsed{};
    if (inet_pton(AF_INET, nameOrAddress.c_str(), &parsed) == 1) return {nameOrAddress};
    HostEntry host;
    if (!CurrentResolver().HostByName(nameOrAddress, &host)) return {};
    return host.addresses;
}

bool IsIPv6Literal(const std::string& text) {
    in6_addr parsed{};
    return inet_pton(AF_INET6, text.c_str(), &parsed) == 1;
}

}  // namespace orb
