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

// Answers from a hosts file only ("address name alias..." per line, '#'
// starts a comment), never from the network: what ORB_HOSTS names for
// programs run by tests and benchmarks. Read at every look-up, so a test may
// write it after the program started.
class HostsFileResolver : public Resolver {
public:
    explicit HostsFileResolver(std::string path) : path_(std::move(path)) {}
    bool HostByName(const std::string& name, HostEntry* out) override {
        return Find([&](const HostEntry& e) {
            return e.name == name ||
                   std::find(e.aliases.begin(), e.aliases.end(), name) != e.aliases.end();
        }, out);
    }
    bool HostByAddr(const std::string& address, HostEntry* out) override {
        return Find([&](const HostEntry& e) { return e.addresses.front() == address; }, out);
    }

private:
    template <class Match>
    bool Find(Match match, HostEntry* out) const {
        if (!out) return false;
        std::ifstream in(path_);
        std::string line;
        while (std::getline(in, line)) {
            line = line.substr(0, line.find('#'));
            std::istringstream words(line);
            HostEntry entry;
            std::string address, word;
            in_addr parsed{};
            if (!(words >> address >> entry.name) ||
                inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
                continue;
            }
            entry.addresses = {address};
            while (words >> word) entry.aliases.push_back(word);
            if (match(entry)) {
                *out = std::move(entry);
                return true;
            }
        }
        return false;
    }
    std::string path_;
};

std::atomic<Resolver*> g_resolver{nullptr};

}  // namespace

Resolver& SystemResolver() {
    // Set once at start-up: a test's programs never reach a real name server.
    static const char* hosts = std::getenv("ORB_HOSTS");
    if (hosts != nullptr && *hosts != '\0') {
        static HostsFileResolver fromFile(hosts);
        return fromFile;
    }
    static SystemResolverImpl resolver;
    return resolver;
}

Resolver& CurrentResolver() {
    Resolver* resolver = g_resolver.load(std::memory_order_acquire);
    return resolver ? *resolver : SystemResolver();
}

void SetResolver(Resolver* resolver) { g_resolver.store(resolver, std::memory_order_release); }

}  // namespace orb
