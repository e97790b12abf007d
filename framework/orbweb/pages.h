// What the console shows, as HTML pages and as their JSON forms, drawn from
// the store's snapshot and records. Every text that comes from the
// repository or from an agent goes through Escape: server names come from
// network announcements and may hold markup. The pages carry no inline
// script or style, so that the Content-Security-Policy can forbid both.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "framework/orbweb/agent_status.h"
#include "framework/orbweb/store.h"

namespace orbweb {

using Json = nlohmann::ordered_json;

// Text safe between tags and inside quoted attribute values.
std::string Escape(std::string_view text);

// How the maps show a "status": a CSS class and a word. Integers 0-3 are
// the framework's unknown, normal, warning and critical; null (objects
// without a status) has none; any other value is shown with its number.
struct StatusLook {
    const char* css;
    std::string text;
};
StatusLook LookOf(const orbcli::Value& status);

// The page and API address of an object ("/object/CLASS/UUID", the UUID
// without braces); "" for a class name no page can have.
std::string ObjectPath(const std::string& cls, const std::string& uuid);

// The backup-server classes, whose objects carry the launcher's menu.
bool IsBackupServerClass(const std::string& cls);

// The object's menu, as the page offers it.
struct Menu {
    bool shown = false;      // a backup-server object
    std::string host;        // the host the launcher is started for
    bool web = false;        // "Open web page" (else the launcher would start telnet)
    std::string webAddress;  // what the launcher's -h action would open
    bool actionsAllowed = false;
    std::string token;    // the page's token for the actions
    std::string address;  // the object's "address": its agent is asked there
};

struct UpdateOutcome {
    std::string host;
    int exit = -1;  // as orb::RunCommand reports it
    std::string output;
};

Json MapJson(const Snapshot& snapshot, const std::string& repository);
std::string MapPage(const Snapshot& snapshot, const std::string& repository);
Json ViewsJson(const Snapshot& snapshot, const std::string& repository);
std::string ViewsPage(const Snapshot& snapshot, const std::string& repository);
Json ObjectJson(const ObjectRecord& record, const Menu& menu);
std::string ObjectPage(const ObjectRecord& record, const Menu& menu, const std::string& repository);
Json AgentJson(const AgentStatus& status);
std::string AgentPage(const AgentStatus& status);
Json OutcomeJson(const UpdateOutcome& outcome);
std::string OutcomePage(const UpdateOutcome& outcome, const std::string& back);
std::string MessagePage(int status, const std::string& message);

}  // namespace orbweb
