// The console's picture of one repository. Maps and views are drawn from a
// snapshot of the containment (orbcli's tree), kept while the repository is
// unchanged: a page costs a look at the repository's fingerprint, not a read
// of every object. A new snapshot gets the next generation number, which is
// what the pages' refresh listens for. Single objects are read on demand.
// One connection serves every caller, one at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "framework/orbcli/session.h"
#include "framework/orbcli/tree.h"

namespace orbweb {

struct Snapshot {
    uint64_t generation = 0;
    orbcli::Tree tree;
    // Every object the tree shows, by UUID (the first place it appears).
    std::map<std::string, const orbcli::TreeNode*> byUuid;
    // A backup-server object's host: the machine above its container.
    std::map<std::string, const orbcli::TreeNode*> hostOf;
};

struct Property {
    std::string name;
    int type = 0;
    orbcli::Value value;
};

// One end of an "Inclusion" link seen from the object: the other object.
struct LinkEnd {
    std::string link;  // the link object's UUID
    std::string cls;
    std::string uuid;
    const orbcli::TreeNode* node = nullptr;  // null when the maps do not show it
};

struct ObjectRecord {
    std::string cls;
    std::string uuid;
    std::vector<Property> properties;
    std::vector<LinkEnd> parents;              // links naming it as child
    std::vector<LinkEnd> children;             // links naming it as parent
    std::shared_ptr<const Snapshot> snapshot;  // keeps the nodes above alive
    // The "name" of the machine above its container ("" when none).
    std::string host;
    const orbcli::Value* Find(const std::string& name) const;
};

// A class name as repositories spell them (letters, digits, '_', at most
// 31): anything else is no object's class and is not sent to the repository.
bool PlausibleClassName(const std::string& cls);

class Store {
  public:
    // repository "": the machine's default one. maxAgeMs: how old a snapshot
    // of a repository without a cheap fingerprint (PostgreSQL) may get.
    explicit Store(std::string repository, unsigned maxAgeMs = 1000);
    // Connects; throws orbcli::ToolError when the repository cannot be reached.
    void Open();
    const std::string& repository() const { return name_; }

    // The snapshot, made anew first when the repository changed.
    std::shared_ptr<const Snapshot> Current();
    // The object of that class with that "uuid"; nothing when there is none.
    // Throws ToolError for failures other than "no such object or class".
    std::optional<ObjectRecord> Object(const std::string& cls, const std::string& uuid);
    // The next Current() reads the repository whatever its fingerprint says
    // (after an action changed it through another program).
    void Invalidate();

  private:
    std::string Fingerprint();
    std::shared_ptr<const Snapshot> Rebuild();
    std::vector<LinkEnd> Links(const Snapshot& snapshot, const std::string& end,
                               const std::string& uuid);

    std::mutex mutex_;
    std::string requested_;
    std::string name_;
    unsigned maxAgeMs_;
    std::unique_ptr<orbcli::Session> session_;
    std::string file_;  // the SQLite file, "" for a repository elsewhere
    std::string fingerprint_;
    uint64_t builtAt_ = 0;
    uint64_t contentHash_ = 0;
    std::shared_ptr<const Snapshot> snapshot_;
};

}  // namespace orbweb
