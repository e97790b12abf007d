#include "framework/orbcli/tree.h"

#include <map>
#include <set>

#include "framework/orbcli/objects.h"

namespace orbcli {
namespace {

// The machine classes discovery files hosts under: the Windows ones, then
// the Unix ones, as the backup integration searches them.
const char* const kMachineClasses[] = {
    "Windows",
    "WindowsNT",
    "WindowsNT_Server",
    "Windows2000",
    "Windows2000_Server",
    "WindowsXP",
    "Windows_NetServer",
    "DellServer_NT",
    "DellServer_W2K",
    "Compaq_WindowsNT_Server",
    "Compaq_Windows2000_Server",
    "Unclassified_TCP",
    "HPServer",
    "HPUnix",
    "Solaris",
    "SCOUnix",
    "SunOS",
    "SUN",
    "CalderaLinux",
    "RedhatLinux",
    "SuSELinux",
    "TruboLinux",
    "Unix",
};

// Links are hand-editable, so they can form loops (caught by the path) and
// lattices whose expansion grows without bound; past these limits the tree
// stops expanding and says so.
constexpr size_t kMaxDepth = 64;
constexpr size_t kMaxNodes = 1000000;

struct Link {
    std::string childClass;
    std::string childUuid;
};

struct Entry {
    Value name;
    Value label;
    Value status;
};

std::string TextOf(const Value* value) {
    if (value == nullptr || value->null) return "";
    return FormatValue(*value);
}

Value OrNull(const Value* value) { return value ? *value : Value{kString, {}, true}; }

class TreeBuilder {
  public:
    explicit TreeBuilder(Session& session) : session_(session) {
        for (const std::string& cls : session.Classes()) classes_.insert(cls);
        LoadLinks();
    }

    std::vector<TreeNode> Roots(const std::string& cls) {
        std::vector<TreeNode> nodes;
        for (const auto& item : Index(cls)) nodes.push_back(Node(cls, item.first));
        return nodes;
    }

    bool Has(const std::string& cls) const { return classes_.count(cls) != 0; }

  private:
    void LoadLinks() {
        if (!Has("Inclusion")) return;
        const auto properties = session_.Describe("Inclusion");
        for (const Object& link : SelectObjects(session_, "Inclusion", properties, {})) {
            const Value* childClass = link.Find("child_class");
            const std::string parent = TextOf(link.Find("parent_uuid"));
            if (parent.empty() || childClass == nullptr || childClass->null) continue;
            children_[parent].push_back(
                {std::string(childClass->bytes.begin(), childClass->bytes.end()),
                 TextOf(link.Find("child_uuid"))});
        }
    }

    // Objects of a class by UUID, in the repository's order of first sight.
    const std::vector<std::pair<std::string, Entry>>& Index(const std::string& cls) {
        auto found = index_.find(cls);
        if (found != index_.end()) return found->second;
        auto& entries = index_[cls];
        if (!Has(cls)) return entries;
        const auto properties = session_.Describe(cls);
        for (const Object& object : SelectObjects(session_, cls, properties, {})) {
            const std::string uuid = TextOf(object.Find("uuid"));
            if (uuid.empty()) continue;
            entries.emplace_back(uuid,
                                 Entry{OrNull(object.Find("name")), OrNull(object.Find("label")),
                                       OrNull(object.Find("status"))});
        }
        return entries;
    }

    const Entry* Lookup(const std::string& cls, const std::string& uuid) {
        auto& byUuid = lookup_[cls];
        if (byUuid.empty())
            for (const auto& [key, entry] : Index(cls)) byUuid.emplace(key, &entry);
        auto found = byUuid.find(uuid);
        return found == byUuid.end() ? nullptr : found->second;
    }

    TreeNode Node(const std::string& cls, const std::string& uuid) {
        TreeNode node;
        node.cls = cls;
        node.uuid = uuid;
        const Entry* entry = Lookup(cls, uuid);
        node.missing = entry == nullptr;
        node.name = OrNull(entry ? &entry->name : nullptr);
        node.label = OrNull(entry ? &entry->label : nullptr);
        node.status = OrNull(entry ? &entry->status : nullptr);
        node.cycle = path_.count(uuid) != 0;
        node.truncated = !node.cycle && (path_.size() >= kMaxDepth || ++nodes_ > kMaxNodes);
        if (node.cycle || node.truncated) return node;
        path_.insert(uuid);
        auto links = children_.find(uuid);
        if (links != children_.end())
            for (const Link& link : links->second)
                node.children.push_back(Node(link.childClass, link.childUuid));
        path_.erase(uuid);
        return node;
    }

    Session& session_;
    std::set<std::string> classes_;
    std::map<std::string, std::vector<Link>> children_;
    std::map<std::string, std::vector<std::pair<std::string, Entry>>> index_;
    std::map<std::string, std::map<std::string, const Entry*>> lookup_;
    std::set<std::string> path_;
    size_t nodes_ = 0;
};

void RenderNode(const TreeNode& node, int depth, std::string* out) {
    out->append(static_cast<size_t>(depth) * 4, ' ');
    *out += node.cls;
    if (!node.name.null) *out += " " + FormatValue(node.name);
    *out += " " + node.uuid;
    if (node.missing) *out += " (missing)";
    if (node.cycle) *out += " (cycle)";
    if (node.truncated) *out += " (not expanded: too deep or too many)";
    *out += "\n";
    for (const TreeNode& child : node.children) RenderNode(child, depth + 1, out);
}

nlohmann::ordered_json NodeToJson(const TreeNode& node) {
    nlohmann::ordered_json json;
    json["class"] = node.cls;
    json["uuid"] = node.uuid;
    json["name"] = ValueToJson(node.name);
    json["label"] = ValueToJson(node.label);
    if (node.missing) json["missing"] = true;
    if (node.cycle) json["cycle"] = true;
    if (node.truncated) json["truncated"] = true;
    json["children"] = nlohmann::ordered_json::array();
    for (const TreeNode& child : node.children) json["children"].push_back(NodeToJson(child));
    return json;
}

}  // namespace

Tree BuildTree(Session& session) {
    TreeBuilder builder(session);
    Tree tree;
    for (const char* cls : kMachineClasses)
        for (TreeNode& node : builder.Roots(cls)) tree.machines.push_back(std::move(node));
    tree.views = builder.Roots("BusinessView");
    return tree;
}

std::string RenderTree(const Tree& tree) {
    std::string out = "# machines\n";
    for (const TreeNode& node : tree.machines) RenderNode(node, 0, &out);
    out += "# business views\n";
    for (const TreeNode& node : tree.views) RenderNode(node, 0, &out);
    return out;
}

nlohmann::ordered_json TreeToJson(const Tree& tree) {
    nlohmann::ordered_json json;
    json["machines"] = nlohmann::ordered_json::array();
    for (const TreeNode& node : tree.machines) json["machines"].push_back(NodeToJson(node));
    json["views"] = nlohmann::ordered_json::array();
    for (const TreeNode& node : tree.views) json["views"].push_back(NodeToJson(node));
    return json;
}

}  // namespace orbcli
