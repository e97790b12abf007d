#include "framework/orbcli/commands.h"

#include <algorithm>

#include "framework/orbcli/check.h"
#include "framework/orbcli/import_file.h"
#include "framework/orbcli/objects.h"
#include "framework/orbcli/session.h"
#include "framework/orbcli/tree.h"

namespace orbcli {
namespace {

constexpr const char* kClientName = "orbcli";

// Texts come from the repository as bytes; JSON output must stay printable
// whatever they hold, so invalid UTF-8 is replaced rather than refused.
std::string Dump(const nlohmann::ordered_json& json) {
    return json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// Property lines of a block, names padded to one column as in the
// framework's own definition files.
std::string Line(const std::string& name, size_t width, const std::string& text) {
    return "    " + name + std::string(width - name.size() + 2, ' ') + text + "\n";
}

template <typename Items, typename NameOf>
size_t NameWidth(const Items& items, NameOf nameOf) {
    size_t width = 0;
    for (const auto& item : items) width = std::max(width, nameOf(item).size());
    return width;
}

// An object block in the class-definition syntax, so that a listing can be
// imported again. Null values are left out, as they are in such files.
void PrintObject(const std::string& cls, const Object& object, std::ostream& out) {
    const size_t width = NameWidth(object.properties, [](const auto& p) { return p.first; });
    out << "object " << cls << "\n";
    for (const auto& [name, value] : object.properties)
        if (!value.null) out << Line(name, width, FormatValue(value));
    out << "end\n";
}

}  // namespace

void RepoCreate(const std::string& name, const Placement& placement, std::ostream&) {
    Session session(kClientName);
    // The settings stay when the creation fails (a server not reachable
    // yet): the same command again creates it.
    if (!placement.backend.empty()) {
        session.RegisterRepository(name, placement.backend, placement.connection,
                                   placement.schema);
    }
    session.CreateRepository(name);
}

void RepoList(std::ostream& out) {
    Session session(kClientName);
    for (const std::string& name : session.Repositories()) out << name << "\n";
}

void Import(const Target& target, const std::string& file, std::ostream&) {
    Session session(kClientName);
    session.Connect(target.repository);
    ImportFile(session, file);
}

void ClassList(const Target& target, std::ostream& out) {
    Session session(kClientName);
    session.Connect(target.repository);
    for (const std::string& cls : session.Classes()) out << cls << "\n";
}

void ClassShow(const Target& target, const std::string& cls, std::ostream& out) {
    Session session(kClientName);
    session.Connect(target.repository);
    const auto properties = session.Describe(cls);
    const size_t width = NameWidth(properties, [](const PropertyInfo& p) { return p.name; });
    out << "class " << cls << "\n";
    for (const PropertyInfo& p : properties) out << Line(p.name, width, TypeName(p.type));
    out << "end\n";
}

void ObjectAdd(const Target& target, const std::string& cls, const std::vector<std::string>& args,
               std::ostream& out) {
    Session session(kClientName);
    session.Connect(target.repository);
    const auto properties = session.Describe(cls);
    const std::string uuid =
        CreateObject(session, cls, properties, ParseAssignments(properties, args));
    if (!uuid.empty()) out << uuid << "\n";
}

void ObjectList(const Target& target, const std::string& cls, const std::vector<std::string>& args,
                bool json, std::ostream& out) {
    Session session(kClientName);
    session.Connect(target.repository);
    const auto properties = session.Describe(cls);
    const auto objects =
        SelectObjects(session, cls, properties, ParseAssignments(properties, args));
    if (!json) {
        for (const Object& object : objects) PrintObject(cls, object, out);
        return;
    }
    nlohmann::ordered_json array = nlohmann::ordered_json::array();
    for (const Object& object : objects) {
        nlohmann::ordered_json item = nlohmann::ordered_json::object();
        for (const auto& [name, value] : object.properties) item[name] = ValueToJson(value);
        array.push_back(std::move(item));
    }
    out << Dump(array) << "\n";
}

void ObjectDelete(const Target& target, const std::string& cls,
                  const std::vector<std::string>& args, std::ostream& out) {
    Session session(kClientName);
    session.Connect(target.repository);
    const auto properties = session.Describe(cls);
    out << DeleteObjects(session, cls, ParseAssignments(properties, args)) << "\n";
}

void ShowTree(const Target& target, bool json, std::ostream& out) {
    Session session(kClientName);
    session.Connect(target.repository);
    const Tree tree = BuildTree(session);
    if (json)
        out << Dump(TreeToJson(tree)) << "\n";
    else
        out << RenderTree(tree);
}

void CacheStats(const Target& target, const std::string& cls, const std::vector<std::string>& args,
                int repeat, std::ostream& out) {
    Session session(kClientName);
    session.Connect(target.repository);
    const auto properties = session.Describe(cls);
    const auto criteria = ParseAssignments(properties, args);
    for (int i = 0; i < repeat; ++i) SelectObjects(session, cls, properties, criteria);
    ORBOM_CACHE_STATS stats{};
    Check(ORBOM_Statistics_Cache(session.connection(), &stats), "reading the cache's counters");
    nlohmann::ordered_json json = {
        {"enabled", stats.enabled},  {"hits", stats.hits},
        {"misses", stats.misses},    {"invalidations", stats.invalidations},
        {"entries", stats.entries},  {"bytes", stats.bytes},
        {"capBytes", stats.capBytes}};
    out << json.dump() << "\n";
}

size_t CheckCommand(const Target& target, std::ostream& out) {
    Session session(kClientName);
    session.Connect(target.repository);
    const CheckReport report = CheckRepository(session);
    const std::vector<std::string>& problems = report.problems;
    for (const std::string& line : problems) out << line << "\n";
    for (const std::string& line : report.notes) out << "note: " << line << "\n";
    if (problems.empty()) {
        out << "repository " << session.repository() << ": no damage found\n";
    } else {
        out << "repository " << session.repository() << ": " << problems.size()
            << " problem(s) found\n";
    }
    return problems.size();
}

}  // namespace orbcli
