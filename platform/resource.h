// Resource-only libraries: the texts (and dialog captions) of a program live
// in a shared library loaded by name like any other ("lmAgentRes.dll" is
// liblmAgentRes.so) and are addressed by number, as Windows string tables are.
//
// The convention every resource library follows -- plain C exports, looked up
// by name, each returning a static NUL-terminated text or null when the
// library has no entry of that number:
//
//   extern "C" const char* OrbResourceString(unsigned id);         // string table
//   extern "C" const char* OrbResourceDialogCaption(unsigned id);  // dialog titles
//
// A library may export only the first. The texts stay valid while the library
// is loaded. The running program may carry its own table by exporting the same
// names (link it with -rdynamic); a null HINSTANCE looks there.
#pragma once

#include "platform/dynload.h"
#include "platform/win32.h"

#define ERROR_RESOURCE_NAME_NOT_FOUND 1814L

// Win32 semantics: copies string `id` of `instance` into buffer, cut to
// size - 1 characters and always terminated; returns the characters copied
// (0 when the string is absent, the buffer then holds ""). size <= 0 copies nothing.
int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size);

namespace orb {

// The caption of dialog `id`, or null when the library has none.
const char* ResourceDialogCaption(HINSTANCE instance, unsigned id);
// Entry `id` of the table a library exports under `exportName` (any of the
// convention's lookups, see also resource_media.h), or null.
const char* ResourceEntry(HINSTANCE instance, const char* exportName, unsigned id);

}  // namespace orb
