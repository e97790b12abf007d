// Dialogs built from a resource library's template (see resource_media.h).
#include <sstream>

#include "platform/resource_media.h"
#include "platform/ui.h"

namespace orb {

namespace {

bool KindByName(const std::string& name, ControlKind* kind) {
    static const struct {
        const char* name;
        ControlKind kind;
    } kKinds[] = {{"button", ControlKind::Button},
                  {"check", ControlKind::CheckBox},
                  {"text", ControlKind::Text},
                  {"counter", ControlKind::Counter},
                  {"animation", ControlKind::Animation}};
    for (const auto& known : kKinds) {
        if (name == known.name) {
            *kind = known.kind;
            return true;
        }
    }
    return false;
}

// "#N" names string N of the library; anything else is the label itself.
std::string Label(HINSTANCE resources, const std::string& text) {
    if (text.size() < 2 || text[0] != '#') return text;
    char* end = nullptr;
    unsigned long id = std::strtoul(text.c_str() + 1, &end, 10);
    std::string found;
    if (*end != '\0' || !LoadResourceText(resources, static_cast<unsigned>(id), &found)) {
        return text;
    }
    return found;
}

bool ParseLine(HINSTANCE resources, const std::string& line, Control* control) {
    std::istringstream in(line);
    std::string kindName;
    if (!(in >> control->id >> kindName) || !KindByName(kindName, &control->kind)) return false;
    std::string rest;
    std::getline(in, rest);
    size_t first = rest.find_first_not_of(" \t");
    rest = first == std::string::npos ? std::string() : rest.substr(first);
    std::string label = Label(resources, rest);
    if (control->kind == ControlKind::Button) {
        control->text = label;
    } else {
        control->label = label;
    }
    return true;
}

}  // namespace

bool Dialog::LoadTemplate(HINSTANCE resources, unsigned id) {
    std::string caption;
    std::string layout;
    if (!LoadDialogCaption(resources, id, &caption) ||
        !LoadDialogTemplate(resources, id, &layout)) {
        return false;
    }
    std::vector<Control> controls;
    std::istringstream in(layout);
    for (std::string line; std::getline(in, line);) {
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == ';') continue;
        Control control;
        if (!ParseLine(resources, line.substr(first), &control)) return false;
        controls.push_back(control);
    }
    title_ = caption;
    controls_ = std::move(controls);
    return true;
}

}  // namespace orb
