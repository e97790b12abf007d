// Bitmaps, icons, animations and dialog templates read from resource-only
// libraries through their exported lookup functions (see resource_media.h).
#include "platform/resource_media.h"

#include <sstream>

#include "platform/resource.h"

namespace {

const char* Find(HINSTANCE resources, const char* exportName, unsigned id) {
    return orb::ResourceEntry(resources, exportName, id);
}

std::vector<std::string> Rows(const char* text) {
    std::vector<std::string> rows;
    if (text == nullptr) return rows;
    std::istringstream in(text);
    for (std::string row; std::getline(in, row);) rows.push_back(row);
    return rows;
}

bool Text(const char* found, std::string* text) {
    if (found == nullptr) return false;
    if (text != nullptr) *text = found;
    return true;
}

}  // namespace

namespace orb {

std::vector<std::string> LoadBitmapRows(HINSTANCE resources, unsigned id) {
    return Rows(Find(resources, "OrbResourceBitmap", id));
}

std::vector<std::string> LoadIconRows(HINSTANCE resources, unsigned id) {
    return Rows(Find(resources, "OrbResourceIcon", id));
}

std::vector<std::string> LoadAnimationFrames(HINSTANCE resources, unsigned id) {
    return Rows(Find(resources, "OrbResourceAnimation", id));
}

bool LoadDialogTemplate(HINSTANCE resources, unsigned id, std::string* text) {
    return Text(Find(resources, "OrbResourceDialogTemplate", id), text);
}

bool LoadResourceText(HINSTANCE resources, unsigned id, std::string* text) {
    return Text(Find(resources, "OrbResourceString", id), text);
}

bool LoadDialogCaption(HINSTANCE resources, unsigned id, std::string* text) {
    return Text(Find(resources, "OrbResourceDialogCaption", id), text);
}

}  // namespace orb
