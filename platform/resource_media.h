// Pictures and layouts in resource-only libraries: bitmaps, icons,
// animations and dialog templates, addressed by number like the string
// table, under the convention of resource.h (plain C exports looked up by
// name -- a null HINSTANCE looks in the running program --, each
// returning a static NUL-terminated text, or null when the library has no
// entry of that number):
//
//   extern "C" const char* OrbResourceBitmap(unsigned id);
//   extern "C" const char* OrbResourceIcon(unsigned id);
//   extern "C" const char* OrbResourceAnimation(unsigned id);
//   extern "C" const char* OrbResourceDialogTemplate(unsigned id);
//
// Pictures are text, since our front ends draw on terminals: a bitmap or an
// icon is its rows separated by '\n'; an animation is its frames separated
// by '\n' (one row each). A dialog template is one control a line:
//
//   ID KIND LABEL      KIND: button, check, text, counter, animation
//
// where LABEL is the control's caption (buttons) or label, "#N" for string N
// of the same library; a label may be empty. Lines starting with ';' are
// comments.
#pragma once

#include <string>
#include <vector>

#include "platform/dynload.h"

namespace orb {

// The rows of bitmap / icon `id` (empty when the library has none).
std::vector<std::string> LoadBitmapRows(HINSTANCE resources, unsigned id);
std::vector<std::string> LoadIconRows(HINSTANCE resources, unsigned id);
// The frames of animation `id` (empty when the library has none).
std::vector<std::string> LoadAnimationFrames(HINSTANCE resources, unsigned id);
// The template text of dialog `id`; false when the library has none.
bool LoadDialogTemplate(HINSTANCE resources, unsigned id, std::string* text);
// String `id` of the library through its string-table export; false when absent.
bool LoadResourceText(HINSTANCE resources, unsigned id, std::string* text);
// Caption of dialog `id`; false when absent.
bool LoadDialogCaption(HINSTANCE resources, unsigned id, std::string* text);

}  // namespace orb
