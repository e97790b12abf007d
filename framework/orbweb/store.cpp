#include "framework/orbweb/store.h"

#include <filesystem>
#include <functional>

#include "framework/orbcli/objects.h"
#include "platform/machine.h"
#include "platform/pathsearch.h"
#include "platform/registry.h"
#include "platform/sync.h"

namespace orbweb {
namespace {

// Where the framework's registry places repositories kept elsewhere than
// in the machine's file (see the repository client's settings).
const char* const kRepositoriesKey =
    "SOFTWARE\\NorwindSystems\\NW-Sentinex/Orb\\Orbmap\\Repositories";

bool PlacedInDatabase(const std::string& name) {
    HKEY key = nullptr;
    const std::string path = std::string(kRepositoriesKey) + "\\" + name;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char backend[64] = {};
    DWORD size = sizeof backend - 1, type = 0;
    const LONG rc =
        RegQueryValueExA(key, "Backend", nullptr, &type, reinterpret_cast<LPBYTE>(backend), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && orb::Lower(backend) == "postgresql";
}

// The repository's file, as the client finds it (its name without letter case).
std::string RepositoryFile(const std::string& name) {
    if (PlacedInDatabase(name)) return "";
    return orb::FindInDirectory(orb::MachineRoot() + "/orbmap", {name + ".orb.db"},
                                orb::IsRegularFile);
}

// Size and modification time: every commit changes the write-ahead log or,
// after a checkpoint, the file itself.
std::string FileStamp(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error) return "-";
    const auto time = std::filesystem::last_write_time(path, error);
    if (error) return "-";
    return std::to_string(size) + "@" + std::to_string(time.time_since_epoch().count());
}

void HashNode(const orbcli::TreeNode& node, std::string* out) {
    *out += node.cls + '\x1f' + node.uuid + '\x1f' + orbcli::FormatValue(node.name) + '\x1f' +
            orbcli::FormatValue(node.label) + '\x1f' + orbcli::FormatValue(node.status) + '\x1e';
    for (const orbcli::TreeNode& child : node.children) HashNode(child, out);
    *out += '\x1d';
}

void IndexNode(const orbcli::TreeNode& node, const orbcli::TreeNode* machine, bool underContainer,
               Snapshot* snapshot) {
    snapshot->byUuid.emplace(node.uuid, &node);
    if (underContainer && machine != nullptr) snapshot->hostOf.emplace(node.uuid, machine);
    for (const orbcli::TreeNode& child : node.children)
        IndexNode(child, machine, node.cls == "Sentispace", snapshot);
}

std::string TextOf(const orbcli::Value* value) {
    if (value == nullptr || value->null) return "";
    if (value->type == orbcli::kString) return {value->bytes.begin(), value->bytes.end()};
    return orbcli::FormatValue(*value);
}

}  // namespace

bool PlausibleClassName(const std::string& cls) {
    if (cls.empty() || cls.size() > 31) return false;
    for (char c : cls)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_')) return false;
    return true;
}

const orbcli::Value* ObjectRecord::Find(const std::string& name) const {
    for (const Property& property : properties)
        if (property.name == name) return &property.value;
    return nullptr;
}

Store::Store(std::string repository, unsigned maxAgeMs)
    : requested_(std::move(repository)), maxAgeMs_(maxAgeMs) {}

void Store::Open() {
    std::lock_guard<std::mutex> lock(mutex_);
    session_ = std::make_unique<orbcli::Session>("orbweb");
    session_->Connect(requested_);
    name_ = session_->repository();
    file_ = RepositoryFile(name_);
}

std::string Store::Fingerprint() {
    if (file_.empty()) return "";
    return FileStamp(file_) + "|" + FileStamp(file_ + "-wal");
}

std::shared_ptr<const Snapshot> Store::Rebuild() {
    auto snapshot = std::make_shared<Snapshot>();
    snapshot->tree = orbcli::BuildTree(*session_);
    std::string content;
    for (const orbcli::TreeNode& node : snapshot->tree.machines) HashNode(node, &content);
    content += '\x1c';
    for (const orbcli::TreeNode& node : snapshot->tree.views) HashNode(node, &content);
    const uint64_t hash = std::hash<std::string>{}(content);
    const uint64_t previous = snapshot_ ? snapshot_->generation : 0;
    snapshot->generation = snapshot_ && hash == contentHash_ ? previous : previous + 1;
    contentHash_ = hash;
    for (const orbcli::TreeNode& machine : snapshot->tree.machines) {
        snapshot->byUuid.emplace(machine.uuid, &machine);
        for (const orbcli::TreeNode& child : machine.children)
            IndexNode(child, &machine, machine.cls == "Sentispace", snapshot.get());
    }
    for (const orbcli::TreeNode& view : snapshot->tree.views)
        IndexNode(view, nullptr, false, snapshot.get());
    return snapshot;
}

std::shared_ptr<const Snapshot> Store::Current() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string fingerprint = Fingerprint();
    const uint64_t now = GetTickCount();
    const bool stale = !snapshot_ || (fingerprint.empty() ? now - builtAt_ >= maxAgeMs_
                                                          : fingerprint != fingerprint_);
    if (stale) {
        snapshot_ = Rebuild();
        fingerprint_ = fingerprint;
        builtAt_ = now;
    }
    return snapshot_;
}

void Store::Invalidate() {
    std::lock_guard<std::mutex> lock(mutex_);
    fingerprint_ = "invalid";
    builtAt_ = 0;
    if (file_.empty() && snapshot_) {
        // Without a fingerprint only the age decides; make it old.
        builtAt_ = GetTickCount() - maxAgeMs_;
    }
}

std::vector<LinkEnd> Store::Links(const Snapshot& snapshot, const std::string& end,
                                  const std::string& uuid) {
    const auto properties = session_->Describe("Inclusion");
    const auto criteria = orbcli::ParseAssignments(properties, {end + "_uuid=" + uuid});
    const std::string other = end == "parent" ? "child" : "parent";
    std::vector<LinkEnd> links;
    for (const orbcli::Object& link :
         orbcli::SelectObjects(*session_, "Inclusion", properties, criteria)) {
        LinkEnd item;
        item.link = TextOf(link.Find("uuid"));
        item.cls = TextOf(link.Find(other + "_class"));
        item.uuid = TextOf(link.Find(other + "_uuid"));
        auto found = snapshot.byUuid.find(item.uuid);
        if (found != snapshot.byUuid.end()) item.node = found->second;
        links.push_back(std::move(item));
    }
    return links;
}

std::optional<ObjectRecord> Store::Object(const std::string& cls, const std::string& uuid) {
    if (!PlausibleClassName(cls)) return std::nullopt;
    std::shared_ptr<const Snapshot> snapshot = Current();
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<orbcli::PropertyInfo> properties;
    std::vector<orbcli::Assignment> criteria;
    try {
        properties = session_->Describe(cls);
        criteria = orbcli::ParseAssignments(properties, {"uuid=" + uuid});
    } catch (const orbcli::ToolError& e) {
        // No such class, no "uuid" in it, or no UUID in the address.
        if (e.rc() == ORBOM_RC_INVALID_CLASS || e.rc() == ORBOM_RC_INVALID_PROPERTY ||
            e.rc() == ORBOM_RC_DATATYPE_MISMATCH)
            return std::nullopt;
        throw;
    }
    const auto objects = orbcli::SelectObjects(*session_, cls, properties, criteria);
    if (objects.empty()) return std::nullopt;
    ObjectRecord record;
    record.cls = cls;
    record.uuid = TextOf(objects.front().Find("uuid"));
    for (size_t i = 0; i < properties.size(); ++i) {
        const orbcli::Value* value = objects.front().Find(properties[i].name);
        record.properties.push_back({properties[i].name, properties[i].type,
                                     value ? *value : orbcli::Value{properties[i].type, {}, true}});
    }
    record.parents = Links(*snapshot, "child", record.uuid);
    record.children = Links(*snapshot, "parent", record.uuid);
    auto host = snapshot->hostOf.find(record.uuid);
    if (host != snapshot->hostOf.end()) record.host = TextOf(&host->second->name);
    record.snapshot = std::move(snapshot);
    return record;
}

}  // namespace orbweb
