#include "framework/orbweb/pages.h"

#include <cstring>

namespace orbweb {
namespace {

const char* const kBackupServerClasses[] = {"Vaultline", "VLO", "LumoraEB", "LumoraVB"};

int32_t IntegerOf(const orbcli::Value& value) {
    int32_t number = 0;
    std::memcpy(&number, value.bytes.data(), std::min(sizeof number, value.bytes.size()));
    return number;
}

// A value as the pages print it: texts as they are, the rest as orbcli does.
std::string Display(const orbcli::Value& value) {
    if (value.null) return "";
    if (value.type == orbcli::kString || value.type == orbcli::kDateTime ||
        value.type == orbcli::kChar)
        return {value.bytes.begin(), value.bytes.end()};
    return orbcli::FormatValue(value);
}

std::string Caption(const orbcli::TreeNode& node) {
    if (!node.name.null) return Display(node.name);
    if (!node.label.null) return Display(node.label);
    return node.uuid;
}

bool IsMachine(const orbcli::TreeNode& node, int depth) { return depth == 0 && !node.missing; }

Json NodeJson(const orbcli::TreeNode& node, bool machine) {
    Json json;
    json["class"] = node.cls;
    json["uuid"] = node.uuid;
    json["name"] = orbcli::ValueToJson(node.name);
    json["label"] = orbcli::ValueToJson(node.label);
    json["status"] = orbcli::ValueToJson(node.status);
    json["status_text"] = LookOf(node.status).text;
    if (machine) json["known_by_address"] = IsIpv4Address(Display(node.name));
    if (node.missing) json["missing"] = true;
    if (node.cycle) json["cycle"] = true;
    if (node.truncated) json["truncated"] = true;
    json["children"] = Json::array();
    for (const orbcli::TreeNode& child : node.children)
        json["children"].push_back(NodeJson(child, false));
    return json;
}

void NodeHtml(const orbcli::TreeNode& node, int depth, std::string* out) {
    const StatusLook look = LookOf(node.status);
    *out += "<div class=\"node ";
    *out += look.css;
    *out += "\"><span class=\"lamp\" title=\"" + Escape(look.text) + "\"></span>";
    const std::string path = node.missing ? "" : ObjectPath(node.cls, node.uuid);
    if (path.empty())
        *out += "<span class=\"caption\">" + Escape(Caption(node)) + "</span>";
    else
        *out +=
            "<a class=\"caption\" href=\"" + Escape(path) + "\">" + Escape(Caption(node)) + "</a>";
    *out += " <span class=\"cls\">" + Escape(node.cls) + "</span>";
    *out += " <span class=\"state\">" + Escape(look.text) + "</span>";
    if (IsMachine(node, depth) && IsIpv4Address(Display(node.name)))
        *out += " <span class=\"badge\">known only by its address</span>";
    if (!node.label.null && Display(node.label) != Caption(node))
        *out += " <span class=\"label\">label " + Escape(Display(node.label)) + "</span>";
    if (node.missing) *out += " <span class=\"badge\">missing</span>";
    if (node.cycle) *out += " <span class=\"badge\">cycle</span>";
    if (node.truncated) *out += " <span class=\"badge\">not expanded</span>";
    if (!node.children.empty()) {
        *out += "<div class=\"children\">";
        for (const orbcli::TreeNode& child : node.children) NodeHtml(child, depth + 1, out);
        *out += "</div>";
    }
    *out += "</div>\n";
}

std::string Page(const std::string& title, const std::string& repository, uint64_t generation,
                 const std::string& body) {
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<meta name=\"viewport\" content=\"width=device-width\">"
        "<title>" +
        Escape(title) + " - " + Escape(repository) +
        "</title><link rel=\"stylesheet\" href=\"/static/style.css\">"
        "<script src=\"/static/refresh.js\" defer></script></head>\n"
        "<body data-generation=\"" +
        std::to_string(generation) + "\"><header><h1>" + Escape(title) +
        "</h1><p class=\"repository\">repository " + Escape(repository) +
        "</p><nav><a href=\"/\">Map</a> <a href=\"/views\">Business process views</a></nav>"
        "</header>\n<main>\n";
    page += body;
    page += "</main></body></html>\n";
    return page;
}

std::string Legend() {
    std::string out = "<p class=\"legend\">";
    for (const orbcli::Value& value :
         {orbcli::Value{orbcli::kInteger, {1, 0, 0, 0}, false},
          orbcli::Value{orbcli::kInteger, {2, 0, 0, 0}, false},
          orbcli::Value{orbcli::kInteger, {3, 0, 0, 0}, false},
          orbcli::Value{orbcli::kInteger, {0, 0, 0, 0}, false}, orbcli::Value{0, {}, true}}) {
        const StatusLook look = LookOf(value);
        out += "<span class=\"node ";
        out += look.css;
        out += "\"><span class=\"lamp\"></span> " + Escape(look.text) + "</span> ";
    }
    return out + "</p>\n";
}

std::string LinkRows(const std::vector<LinkEnd>& links) {
    if (links.empty()) return "<p class=\"none\">none</p>\n";
    std::string out = "<table><tr><th>class</th><th>object</th><th>link</th></tr>\n";
    for (const LinkEnd& link : links) {
        const std::string caption = link.node ? Caption(*link.node) : link.uuid;
        const std::string path = ObjectPath(link.cls, link.uuid);
        out += "<tr><td>" + Escape(link.cls) + "</td><td>";
        out += path.empty() ? Escape(caption)
                            : "<a href=\"" + Escape(path) + "\">" + Escape(caption) + "</a>";
        out += "</td><td><a href=\"" + Escape(ObjectPath("Inclusion", link.link)) + "\">" +
               Escape(link.link) + "</a></td></tr>\n";
    }
    return out + "</table>\n";
}

Json LinksJson(const std::vector<LinkEnd>& links) {
    Json json = Json::array();
    for (const LinkEnd& link : links) {
        Json item;
        item["link"] = link.link;
        item["class"] = link.cls;
        item["uuid"] = link.uuid;
        item["name"] = link.node ? orbcli::ValueToJson(link.node->name) : Json();
        json.push_back(item);
    }
    return json;
}

std::string MenuHtml(const ObjectRecord& record, const Menu& menu) {
    std::string out = "<section class=\"menu\"><h2>Menu</h2><ul>\n";
    if (menu.web) {
        const bool linkable =
            menu.webAddress.rfind("http://", 0) == 0 || menu.webAddress.rfind("https://", 0) == 0;
        out += "<li>Open web page: ";
        out += linkable ? "<a href=\"" + Escape(menu.webAddress) +
                              "\" rel=\"noopener noreferrer\" target=\"_blank\">" +
                              Escape(menu.webAddress) + "</a>"
                        : "<code>" + Escape(menu.webAddress) + "</code>";
        out += "</li>\n";
    } else {
        out += "<li>Open: the launcher starts <code>telnet " + Escape(menu.host) +
               "</code> for this host</li>\n";
    }
    out += "<li><form method=\"post\" action=\"" +
           Escape("/action/update-host" + ObjectPath(record.cls, record.uuid).substr(7)) + "\">";
    if (menu.actionsAllowed)
        out += "<input type=\"hidden\" name=\"token\" value=\"" + Escape(menu.token) +
               "\"><button type=\"submit\">Update host</button> <code>ksuxgo -d " +
               Escape(menu.host) + "</code>";
    else
        out +=
            "<button type=\"submit\" disabled>Update host</button> actions are off "
            "(orbweb --allow-actions)";
    out += "</form></li>\n</ul></section>\n";
    if (!menu.address.empty())
        out += "<section class=\"agent\"><h2>Agent at " + Escape(menu.address) +
               "</h2><iframe class=\"agent\" title=\"live agent status\" src=\"" +
               Escape("/agent" + ObjectPath(record.cls, record.uuid).substr(7)) +
               "\"></iframe></section>\n";
    return out;
}

}  // namespace

std::string Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '\'':
                out += "&#39;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

StatusLook LookOf(const orbcli::Value& status) {
    if (status.null) return {"status-none", "no status"};
    if (status.type != orbcli::kInteger) return {"status-other", Display(status)};
    switch (IntegerOf(status)) {
        case 0:
            return {"status-unknown", "unknown"};
        case 1:
            return {"status-normal", "normal"};
        case 2:
            return {"status-warning", "warning"};
        case 3:
            return {"status-critical", "critical"};
        default:
            return {"status-other", "status " + std::to_string(IntegerOf(status))};
    }
}

std::string ObjectPath(const std::string& cls, const std::string& uuid) {
    if (!PlausibleClassName(cls)) return "";
    std::string bare = uuid;
    if (bare.size() == 38 && bare.front() == '{' && bare.back() == '}') bare = bare.substr(1, 36);
    if (bare.size() != 36) return "";
    for (char c : bare)
        if (!std::isxdigit(static_cast<unsigned char>(c)) && c != '-') return "";
    return "/object/" + cls + "/" + bare;
}

bool IsBackupServerClass(const std::string& cls) {
    for (const char* name : kBackupServerClasses)
        if (cls == name) return true;
    return false;
}

Json MapJson(const Snapshot& snapshot, const std::string& repository) {
    Json json;
    json["repository"] = repository;
    json["generation"] = snapshot.generation;
    json["groups"] = Json::array();
    for (const orbcli::TreeNode& machine : snapshot.tree.machines) {
        if (json["groups"].empty() || json["groups"].back()["class"] != machine.cls)
            json["groups"].push_back(Json{{"class", machine.cls}, {"machines", Json::array()}});
        json["groups"].back()["machines"].push_back(NodeJson(machine, true));
    }
    return json;
}

std::string MapPage(const Snapshot& snapshot, const std::string& repository) {
    std::string body = Legend();
    const auto& machines = snapshot.tree.machines;
    if (machines.empty()) body += "<p class=\"none\">The repository holds no machine.</p>\n";
    for (size_t i = 0; i < machines.size();) {
        size_t end = i;
        while (end < machines.size() && machines[end].cls == machines[i].cls) ++end;
        body += "<section class=\"group\"><h2>" + Escape(machines[i].cls) +
                " <span class=\"count\">" + std::to_string(end - i) + "</span></h2>\n";
        for (; i < end; ++i) NodeHtml(machines[i], 0, &body);
        body += "</section>\n";
    }
    body += "<p class=\"api\"><a href=\"/api/map\">JSON</a></p>\n";
    return Page("Map", repository, snapshot.generation, body);
}

Json ViewsJson(const Snapshot& snapshot, const std::string& repository) {
    Json json;
    json["repository"] = repository;
    json["generation"] = snapshot.generation;
    json["views"] = Json::array();
    for (const orbcli::TreeNode& view : snapshot.tree.views)
        json["views"].push_back(NodeJson(view, false));
    return json;
}

std::string ViewsPage(const Snapshot& snapshot, const std::string& repository) {
    std::string body = Legend();
    if (snapshot.tree.views.empty())
        body += "<p class=\"none\">The repository holds no business process view.</p>\n";
    for (const orbcli::TreeNode& view : snapshot.tree.views) {
        const std::string path = ObjectPath(view.cls, view.uuid);
        body += "<section class=\"group view\"><h2><a href=\"" + Escape(path) + "\">" +
                Escape(Caption(view)) + "</a> <span class=\"count\">" +
                std::to_string(view.children.size()) + "</span></h2>\n";
        for (const orbcli::TreeNode& member : view.children) NodeHtml(member, 1, &body);
        body += "</section>\n";
    }
    body += "<p class=\"api\"><a href=\"/api/views\">JSON</a></p>\n";
    return Page("Business process views", repository, snapshot.generation, body);
}

Json ObjectJson(const ObjectRecord& record, const Menu& menu) {
    Json json;
    json["class"] = record.cls;
    json["uuid"] = record.uuid;
    json["properties"] = Json::array();
    for (const Property& property : record.properties)
        json["properties"].push_back(Json{{"name", property.name},
                                          {"type", orbcli::TypeName(property.type)},
                                          {"value", orbcli::ValueToJson(property.value)}});
    json["links_in"] = LinksJson(record.parents);
    json["links_out"] = LinksJson(record.children);
    json["menu"] = Json::array();
    if (menu.shown) {
        if (menu.web)
            json["menu"].push_back(Json{{"item", "Open web page"}, {"address", menu.webAddress}});
        Json update{{"item", "Update host"}, {"host", menu.host}, {"allowed", menu.actionsAllowed}};
        if (menu.actionsAllowed) {
            update["action"] =
                "/api/action/update-host" + ObjectPath(record.cls, record.uuid).substr(7);
            update["token"] = menu.token;
        }
        json["menu"].push_back(update);
    }
    if (!menu.address.empty())
        json["agent"] = "/api/agent" + ObjectPath(record.cls, record.uuid).substr(7);
    return json;
}

std::string ObjectPage(const ObjectRecord& record, const Menu& menu,
                       const std::string& repository) {
    const orbcli::Value* name = record.Find("name");
    const std::string caption = name && !name->null ? Display(*name) : record.uuid;
    const orbcli::Value* status = record.Find("status");
    const StatusLook look = LookOf(status ? *status : orbcli::Value{0, {}, true});
    std::string body = "<p class=\"node " + std::string(look.css) +
                       "\"><span class=\"lamp\"></span> " + Escape(record.cls) + " " +
                       Escape(record.uuid) + " <span class=\"state\">" + Escape(look.text) +
                       "</span></p>\n";
    if (menu.shown) body += MenuHtml(record, menu);
    body +=
        "<section><h2>Properties</h2><table><tr><th>property</th><th>type</th>"
        "<th>value</th></tr>\n";
    for (const Property& property : record.properties) {
        body += "<tr><td>" + Escape(property.name) + "</td><td>" +
                Escape(orbcli::TypeName(property.type)) + "</td><td>";
        body += property.value.null ? "<em>null</em>" : Escape(Display(property.value));
        body += "</td></tr>\n";
    }
    body += "</table></section>\n<section><h2>Links in</h2>\n" + LinkRows(record.parents) +
            "</section>\n<section><h2>Links out</h2>\n" + LinkRows(record.children) +
            "</section>\n<p class=\"api\"><a href=\"" +
            Escape("/api" + ObjectPath(record.cls, record.uuid)) + "\">JSON</a></p>\n";
    return Page(caption, repository, record.snapshot ? record.snapshot->generation : 0, body);
}

Json AgentJson(const AgentStatus& status) {
    Json json;
    json["address"] = status.address;
    json["answered"] = status.answered;
    if (!status.answered) json["state"] = status.asked ? "no answer" : "not asked";
    if (!status.error.empty()) json["error"] = status.error;
    if (!status.answered) return json;
    json["agent_state"] = status.agentState;
    json["services"] = Json::array();
    for (const auto& [service, state] : status.services)
        json["services"].push_back(Json{{"service", service}, {"state", state}});
    auto count = [](const std::optional<long>& rows) { return rows ? Json(*rows) : Json(); };
    json["jobs"] = count(status.jobs);
    json["media"] = count(status.media);
    json["tape_drives"] = count(status.tapeDrives);
    if (status.countsCut) json["counts_cut"] = true;
    json["worst_watcher_status"] = status.worstWatcher ? Json(*status.worstWatcher) : Json();
    if (status.worstWatcher) json["worst_watcher_text"] = WatcherStatusText(*status.worstWatcher);
    return json;
}

std::string AgentPage(const AgentStatus& status) {
    std::string body;
    if (!status.answered) {
        body = "<p class=\"noanswer\">" +
               Escape(status.asked ? "no answer from " + status.address
                                   : "not asked: \"" + status.address + "\" is no IPv4 address") +
               (status.error.empty() || status.error == "no answer"
                    ? ""
                    : " (" + Escape(status.error) + ")") +
               "</p>";
    } else {
        auto count = [](const std::optional<long>& rows, bool cut) {
            return rows ? std::to_string(*rows) + (cut ? "+" : "") : std::string("no answer");
        };
        body = "<table><tr><th>agent</th><td>" + Escape(status.agentState) + "</td></tr>\n";
        for (const auto& [service, state] : status.services)
            body += "<tr><th>" + Escape(service) + "</th><td class=\"service\">" + Escape(state) +
                    "</td></tr>\n";
        body +=
            "<tr><th>jobs</th><td>" + count(status.jobs, status.countsCut) +
            "</td></tr>\n<tr><th>media</th><td>" + count(status.media, status.countsCut) +
            "</td></tr>\n<tr><th>tape drives</th><td>" +
            count(status.tapeDrives, status.countsCut) +
            "</td></tr>\n<tr><th>worst watcher</th><td>" +
            Escape(status.worstWatcher ? WatcherStatusText(*status.worstWatcher) : "no answer") +
            "</td></tr></table>";
    }
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>agent " +
           Escape(status.address) +
           "</title><link rel=\"stylesheet\" href=\"/static/style.css\"></head>"
           "<body class=\"agent\">" +
           body + "</body></html>\n";
}

Json OutcomeJson(const UpdateOutcome& outcome) {
    return Json{{"action", "update-host"},
                {"host", outcome.host},
                {"exit", outcome.exit},
                {"ok", outcome.exit == 0},
                {"output", outcome.output}};
}

std::string OutcomePage(const UpdateOutcome& outcome, const std::string& back) {
    std::string body = "<p class=\"" + std::string(outcome.exit == 0 ? "ok" : "failed") +
                       "\">ksuxgo -d " + Escape(outcome.host) + ": " +
                       (outcome.exit == 0 ? "done" : "failed") + " (exit " +
                       std::to_string(outcome.exit) + ")</p>\n<pre>" + Escape(outcome.output) +
                       "</pre>\n<p><a href=\"" + Escape(back) + "\">back to the object</a></p>\n";
    return Page("Update host", "", 0, body);
}

std::string MessagePage(int status, const std::string& message) {
    return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>" +
           std::to_string(status) +
           "</title><link rel=\"stylesheet\" href=\"/static/style.css\"></head><body><h1>" +
           std::to_string(status) + "</h1><p>" + Escape(message) +
           "</p><p><a href=\"/\">Map</a></p></body></html>\n";
}

}  // namespace orbweb
