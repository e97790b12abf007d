// A machine root with a repository, a discovery table, the integration's
// registry values and a resolver of our own, and one publishing pass run on
// it the way the program runs it (the real KestOrb loaded by name).
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "backup/discotable/discotable.h"
#include "platform/machine.h"
#include "platform/registry.h"
#include "platform/resolver.h"
#include "publisher/DiscoveryPass.h"
#include "publisher/PublisherWorker.h"
#include "tests/kestorb/repo_fixture.h"

namespace pubtest {

inline constexpr const char* kIntegrationKey =
    "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\OrbIntegration";
inline constexpr const char* kOlderProductKey =
    "SOFTWARE\\NorwindSystems\\VaultlineIT\\Base\\Path";

// Names and addresses the test decides; everything else is unknown.
class TableResolver : public orb::Resolver {
public:
    std::map<std::string, std::string> addressOf;  // name -> dotted quad
    std::map<std::string, std::string> nameOf;     // dotted quad -> DNS name
    int lookups = 0;
    // Called at every name look-up: the pass looks the server up at the
    // start of each machine search, so a test can change the repository
    // between one search and the next.
    std::function<void(const std::string& name)> onLookup;
    bool HostByName(const std::string& name, orb::HostEntry* out) override {
        ++lookups;
        if (onLookup) onLookup(name);
        auto found = addressOf.find(name);
        if (found == addressOf.end()) return false;
        out->name = name;
        out->addresses = {found->second};
        return true;
    }
    bool HostByAddr(const std::string& address, orb::HostEntry* out) override {
        ++lookups;
        auto found = nameOf.find(address);
        if (found == nameOf.end()) return false;
        out->name = found->second;
        return true;
    }
};

inline disco::Server Server(const std::string& name, uint32_t owner, const std::string& address,
                            uint8_t release = 9) {
    disco::Server s;
    s.name = name;
    s.domain = "DOM";
    s.owner = owner;
    disco::ParseAddress(address, &s.address);
    s.release = release;
    s.products = {VLB_PRODUCT_VAULTLINE};
    return s;
}

// The repository through the client directly; KestOrb only as the pass loads it.
class PassTest : public ::testing::Test {
protected:
    void SetUp() override {
        repo_.Create();
        publisher::ForgetSupportSetting();
        orb::SetResolver(&resolver_);
        orb::RegSetDword(kIntegrationKey, "Debug", 1);
    }
    void TearDown() override {
        orb::SetResolver(nullptr);
    }

    void Support(int32_t value) {
        orb::RegSetDword(kIntegrationKey, "Support", static_cast<DWORD>(value));
    }
    void Announce(const std::vector<disco::Server>& servers) {
        uint32_t error = 0;
        ASSERT_TRUE(disco::AppendServers(disco::TablePath(), servers, &error)) << error;
    }
    UUID Machine(const char* cls, const std::string& name) {
        return repo_.Add(cls, {{"name", name}});
    }

    // One pass with a fresh worker, as one Start of the program.
    bool Pass() {
        publisher::CPublisherWorker worker;
        run_.worker = &worker;
        run_.repositoryName = kesttest::kRepository;
        bool ok = publisher::PublishPass(worker, run_);
        lastResult_ = worker.lastResult;
        run_.worker = nullptr;
        return ok;
    }

    std::string Log() {
        std::ifstream in(orb::TempDirectory() + "/EBOrbInt.log", std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    size_t LogCount(const std::string& piece) {
        std::string log = Log();
        size_t n = 0;
        for (size_t at = log.find(piece); at != std::string::npos; at = log.find(piece, at + 1)) {
            ++n;
        }
        return n;
    }

    orbtest::ScratchDir dir_;
    orbtest::ScopedEnv root_{"ORB_MACHINE_ROOT", dir_.path()};
    kesttest::Repo repo_;
    TableResolver resolver_;
    publisher::PublishRun run_;
    int32_t lastResult_ = 0;
};

}  // namespace pubtest
