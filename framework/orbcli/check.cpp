#include "framework/orbcli/check.h"

#include <map>
#include <set>
#include <tuple>

#include "framework/orbcli/objects.h"

namespace orbcli {
namespace {

constexpr const char* kLinkClass = "Inclusion";
constexpr const char* kContainerClass = "Sentispace";
constexpr const char* kViewClass = "BusinessView";
// The classes the integration publishes backup servers in, and what every
// published one carries.
const char* const kBackupClasses[] = {"Vaultline", "VLO", "LumoraEB", "LumoraVB"};
const char* const kWrittenProperties[] = {"address", "DomainName", "ServerName"};
// The business process view every published object of a class belongs in.
// A repository without the view is left alone: the older line's view is
// built only where that product is installed, and objects made by hand or
// by other tools need none.
struct ProductView {
    const char* cls;
    const char* view;
};
const ProductView kProductViews[] = {
    {"LumoraVB", "Lumora Vaultline Backup"},
    {"Vaultline", "Vaultline View"},
};

std::string Text(const Object& object, const char* property) {
    const Value* value = object.Find(property);
    if (value == nullptr || value->null) return "";
    // Texts as they are; UUIDs and the rest in the form operators type.
    if (value->type == kString) return std::string(value->bytes.begin(), value->bytes.end());
    return FormatValue(*value);
}

struct Link {
    std::string uuid, parentClass, parentUuid, childClass, childUuid;
};

std::string Name(const std::string& cls, const std::string& uuid) {
    return cls + " " + (uuid.empty() ? "(no uuid)" : uuid);
}

class Checker {
  public:
    explicit Checker(Session& session) : session_(session) {
        for (const std::string& cls : session.Classes()) classes_.insert(cls);
    }

    CheckReport Run() {
        if (!Has(kLinkClass)) return report_;
        LoadLinks();
        CheckLinks();
        CheckContainers();
        for (const char* cls : kBackupClasses) CheckBackupObjects(cls);
        for (const ProductView& product : kProductViews) CheckView(product);
        return report_;
    }

  private:
    bool Has(const std::string& cls) const { return classes_.count(cls) != 0; }

    // The objects of cls by UUID (loaded once).
    const std::map<std::string, Object>& Objects(const std::string& cls) {
        auto found = objects_.find(cls);
        if (found != objects_.end()) return found->second;
        auto& byUuid = objects_[cls];
        if (!Has(cls)) return byUuid;
        for (Object& o : SelectObjects(session_, cls, session_.Describe(cls), {})) {
            const std::string uuid = Text(o, "uuid");
            if (!uuid.empty()) byUuid.emplace(uuid, std::move(o));
        }
        return byUuid;
    }

    bool Exists(const std::string& cls, const std::string& uuid) {
        return !uuid.empty() && Objects(cls).count(uuid) != 0;
    }

    void LoadLinks() {
        for (const Object& o : SelectObjects(session_, kLinkClass, session_.Describe(kLinkClass), {})) {
            links_.push_back({Text(o, "uuid"), Text(o, "parent_class"), Text(o, "parent_uuid"),
                              Text(o, "child_class"), Text(o, "child_uuid")});
        }
    }

    void CheckLinks() {
        std::map<std::tuple<std::string, std::string, std::string, std::string>, int> seen;
        for (const Link& l : links_) {
            const std::string link = "link " + (l.uuid.empty() ? "(no uuid)" : l.uuid);
            if (!Exists(l.parentClass, l.parentUuid)) {
                report_.problems.push_back(link + ": its parent " + Name(l.parentClass, l.parentUuid) +
                                    " does not exist");
            }
            if (!Exists(l.childClass, l.childUuid)) {
                report_.problems.push_back(link + ": its child " + Name(l.childClass, l.childUuid) +
                                    " does not exist");
            }
            if (++seen[{l.parentClass, l.parentUuid, l.childClass, l.childUuid}] == 2) {
                report_.problems.push_back("duplicate link: " + Name(l.parentClass, l.parentUuid) +
                                    " -> " + Name(l.childClass, l.childUuid));
            }
        }
    }

    void CheckContainers() {
        if (!Has(kContainerClass)) return;
        // Distinct ends, so that a doubled link is reported once, as such.
        std::map<std::string, std::set<std::string>> machinesOf, childrenOf, containersOfMachine;
        std::map<std::pair<std::string, std::string>, std::set<std::string>> perClass;
        for (const Link& l : links_) {
            if (l.childClass == kContainerClass && l.parentClass != kViewClass) {
                machinesOf[l.childUuid].insert(Name(l.parentClass, l.parentUuid));
                containersOfMachine[Name(l.parentClass, l.parentUuid)].insert(l.childUuid);
            }
            if (l.parentClass == kContainerClass) {
                childrenOf[l.parentUuid].insert(Name(l.childClass, l.childUuid));
                perClass[{l.parentUuid, l.childClass}].insert(l.childUuid);
            }
        }
        for (const auto& [uuid, object] : Objects(kContainerClass)) {
            const std::string container = Name(kContainerClass, uuid) + " \"" +
                                          Text(object, "name") + "\"";
            const size_t machines = machinesOf[uuid].size();
            if (machines != 1) {
                report_.problems.push_back(container + ": under " + std::to_string(machines) +
                                    " machines, not one");
            }
            if (childrenOf[uuid].empty()) report_.notes.push_back(container + ": empty");
        }
        for (const auto& [machine, containers] : containersOfMachine) {
            if (containers.size() > 1) {
                report_.problems.push_back(machine + ": " + std::to_string(containers.size()) +
                                    " containers");
            }
        }
        for (const auto& [key, children] : perClass) {
            if (children.size() > 1) {
                report_.problems.push_back(Name(kContainerClass, key.first) + ": " +
                                    std::to_string(children.size()) + " objects of class " +
                                    key.second);
            }
        }
    }

    void CheckBackupObjects(const char* cls) {
        if (!Has(cls)) return;
        std::map<std::string, std::set<std::string>> containersOf;
        for (const Link& l : links_) {
            if (l.childClass == cls && l.parentClass == kContainerClass) {
                containersOf[l.childUuid].insert(l.parentUuid);
            }
        }
        for (const auto& [uuid, object] : Objects(cls)) {
            const std::string name = Name(cls, uuid) + " \"" + Text(object, "name") + "\"";
            const size_t containers = containersOf[uuid].size();
            if (containers != 1) {
                report_.problems.push_back(name + ": under " + std::to_string(containers) +
                                    " containers, not one");
            }
            std::string missing;
            for (const char* p : kWrittenProperties) {
                if (object.Find(p) != nullptr && Text(object, p).empty()) {
                    missing += std::string(missing.empty() ? "" : ", ") + "\"" + p + "\"";
                }
            }
            if (!missing.empty()) report_.problems.push_back(name + ": no " + missing);
        }
    }

    // Every published object of the product's class is in the product's
    // view: a pass that failed half way may have left one out, or left the
    // view it rebuilt empty.
    void CheckView(const ProductView& product) {
        if (!Has(product.cls) || !Has(kViewClass) || Objects(product.cls).empty()) return;
        std::set<std::string> views;
        for (const auto& [uuid, object] : Objects(kViewClass)) {
            if (Text(object, "name") == product.view) views.insert(uuid);
        }
        if (views.empty()) return;
        const std::string viewName = std::string("view \"") + product.view + "\"";
        const size_t objects = Objects(product.cls).size();
        std::set<std::string> members;
        for (const Link& l : links_) {
            if (l.parentClass == kViewClass && views.count(l.parentUuid) != 0 &&
                l.childClass == product.cls) {
                members.insert(l.childUuid);
            }
        }
        if (members.empty()) {
            report_.problems.push_back(viewName + ": empty, " + std::to_string(objects) +
                                       " objects of class " + product.cls + " are not in it");
            return;
        }
        for (const auto& [uuid, object] : Objects(product.cls)) {
            if (members.count(uuid) == 0) {
                report_.problems.push_back(Name(product.cls, uuid) + " \"" +
                                           Text(object, "name") + "\": not in " + viewName);
            }
        }
    }

    Session& session_;
    std::set<std::string> classes_;
    std::map<std::string, std::map<std::string, Object>> objects_;
    std::vector<Link> links_;
    CheckReport report_;
};

}  // namespace

CheckReport CheckRepository(Session& session) { return Checker(session).Run(); }

}  // namespace orbcli
