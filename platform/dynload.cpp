// Loading libraries by their Windows names. Windows counts loads of one
// module and hands out one handle for it; dlopen counts too, and the table
// below keeps one OrbModule per loaded file so handles compare as on Windows.
#include "platform/dynload.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <map>
#include <mutex>

#include "platform/debug.h"
#include "platform/pathsearch.h"

struct OrbModule {
    void* handle = nullptr;
    std::string path;  // absolute, for GetModuleFileNameA
    int loads = 0;
};

namespace {

std::mutex g_modulesMutex;
std::map<void*, OrbModule*> g_modules;  // dlopen handle -> our module

// "KestOrb.DLL" and "KestOrb" (Windows adds ".DLL") are the shared library
// libKestOrb.so or KestOrb.so; any other name is taken as the file's name.
std::vector<std::string> LibraryFileNames(const std::string& base) {
    std::string stem;
    if (orb::EndsWithNoCase(base, ".dll")) {
        stem = base.substr(0, base.size() - 4);
    } else if (base.find('.') == std::string::npos) {
        stem = base;
    }
    std::vector<std::string> names;
    if (!stem.empty()) {
        names.push_back("lib" + stem + ".so");
        names.push_back(stem + ".so");
    }
    names.push_back(base);
    return names;
}

std::string AbsolutePath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// Win32 copy rules: cut to size - 1 and terminated; a cut result returns
// size with ERROR_INSUFFICIENT_BUFFER.
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
    if (!buffer || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (text.size() >= size) {
        memcpy(buffer, text.data(), size - 1);
        buffer[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    memcpy(buffer, text.c_str(), text.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(text.size());
}

// The table entry of a handle; end() for a handle that is not (or no
// longer) loaded. Looked up by value so a stale handle is never followed.
std::map<void*, OrbModule*>::iterator FindModule(HMODULE module) {
    for (auto it = g_modules.begin(); it != g_modules.end(); ++it) {
        if (it->second == module) return it;
    }
    return g_modules.end();
}

std::string ProgramPath() {
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0) return "";
    return std::string(path, static_cast<size_t>(n));
}

}  // namespace

namespace orb {

std::string ProgramDirectory() {
    std::string dir, base;
    SplitPath(ProgramPath(), &dir, &base);
    return dir;
}

std::string FindLibrary(const std::string& name) {
    std::string dir, base;
    SplitPath(ToSlashes(name), &dir, &base);
    if (base.empty()) return "";
    std::vector<std::string> dirs = dir.empty() ? DefaultSearchDirectories() : std::vector{dir};
    std::vector<std::string> names = LibraryFileNames(base);
    for (const std::string& d : dirs) {
        std::string found = FindInDirectory(d, names, IsRegularFile);
        if (!found.empty()) return found;
    }
    return "";
}

}  // namespace orb

HMODULE LoadLibraryA(LPCSTR name) {
    std::string path = name ? orb::FindLibrary(name) : "";
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    // A module stays mapped once loaded. The platform objects a library makes
    // on first use are never destroyed (its threads may outlive the exit
    // handlers); unmapped, they would be lost with every load and release.
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        // The file is there but does not load (missing symbols, wrong
        // format): worth a line, since the caller only sees "not found".
        const char* why = dlerror();
        OutputDebugStringA(("LoadLibraryA() - " + path + ": " + (why ? why : "load failed")).c_str());
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> guard(g_modulesMutex);
    OrbModule*& module = g_modules[handle];
    if (!module) {
        module = new OrbModule;
        module->handle = handle;
        module->path = AbsolutePath(path);
    }
    ++module->loads;
    SetLastError(ERROR_SUCCESS);
    return module;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR name) {
    void* handle = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_modulesMutex);
        auto it = FindModule(module);
        if (it != g_modules.end()) handle = it->first;
    }
    if (!handle || !name) {
        SetLastError(handle ? ERROR_PROC_NOT_FOUND : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* symbol = dlsym(handle, name);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
    void* handle = nullptr;
    {
        std::lock_guard<std::mutex> guard(g_modulesMutex);
        auto it = FindModule(module);
        if (it == g_modules.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        handle = module->handle;
        if (--module->loads == 0) {
            g_modules.erase(it);
            delete module;
        }
    }
    dlclose(handle);
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size) {
    std::string path;
    if (!module) {
        path = ProgramPath();
    } else {
        std::lock_guard<std::mutex> guard(g_modulesMutex);
        auto it = FindModule(module);
        if (it == g_modules.end()) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path = module->path;
    }
    return CopyOut(path, buffer, size);
}
