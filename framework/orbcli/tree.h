// The containment the framework's consoles show: every machine object with
// the objects linked beneath it by "Inclusion" objects, followed down the
// links, and every business process view with its members.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "framework/orbcli/session.h"
#include "framework/orbcli/values.h"

namespace orbcli {

struct TreeNode {
    std::string cls;
    std::string uuid;  // registry form
    Value name;        // null when the class has none or the object is gone
    Value label;
    Value status;            // the map's colour; null when the class has none
    bool missing = false;    // a link names an object that does not exist
    bool cycle = false;      // the object is already on the path above
    bool truncated = false;  // beyond the depth or size the tree expands
    std::vector<TreeNode> children;
};

struct Tree {
    std::vector<TreeNode> machines;
    std::vector<TreeNode> views;
};

Tree BuildTree(Session& session);
// Indented text, one object per line: CLASS "name" {UUID}.
std::string RenderTree(const Tree& tree);
// {"machines": [...], "views": [...]}; each node has "class", "uuid",
// "name", "label" and "children" ("missing", "cycle", "truncated" when true).
nlohmann::ordered_json TreeToJson(const Tree& tree);

}  // namespace orbcli
