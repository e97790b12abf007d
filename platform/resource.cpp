// String tables and dialog captions read from resource-only libraries through
// their exported lookup functions (see resource.h for the convention).
#include "platform/resource.h"

#include <dlfcn.h>

#include <cstring>

namespace {

typedef const char* (*ResourceLookup)(unsigned);

// The running program's own export, for a null instance (Windows: the main module).
ResourceLookup ProgramLookup(const char* name) {
    static void* const self = dlopen(nullptr, RTLD_NOW | RTLD_LOCAL);
    return self == nullptr ? nullptr : reinterpret_cast<ResourceLookup>(dlsym(self, name));
}

ResourceLookup Lookup(HINSTANCE instance, const char* name) {
    if (instance == nullptr) return ProgramLookup(name);
    return reinterpret_cast<ResourceLookup>(GetProcAddress(instance, name));
}

const char* Find(HINSTANCE instance, const char* export_name, unsigned id) {
    ResourceLookup lookup = Lookup(instance, export_name);
    return lookup == nullptr ? nullptr : lookup(id);
}

}  // namespace

int LoadStringA(HINSTANCE instance, UINT id, LPSTR buffer, int size) {
    if (buffer == nullptr || size <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = '\0';
    const char* text = Find(instance, "OrbResourceString", id);
    if (text == nullptr) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    size_t length = strnlen(text, static_cast<size_t>(size) - 1);
    std::memcpy(buffer, text, length);
    buffer[length] = '\0';
    return static_cast<int>(length);
}

namespace orb {

const char* ResourceDialogCaption(HINSTANCE instance, unsigned id) {
    return Find(instance, "OrbResourceDialogCaption", id);
}

const char* ResourceEntry(HINSTANCE instance, const char* exportName, unsigned id) {
    return Find(instance, exportName, id);
}

}  // namespace orb
