// The machine root and the names of this computer. Everything a program keeps
// about "its machine" is found from here, so that a test or a demo can stand up
// a whole machine in a temporary directory by setting two variables.
#include "platform/machine.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

bool SameName(const std::string& a, const std::string& b) { return Upper(a) == Upper(b); }

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// A computer name is one path element; anything that could walk out of the
// directory that holds the machine roots is not a computer name.
bool PlausibleComputerName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\\') == std::string::npos;
}

}  // namespace

namespace orb {

std::string MachineRoot() {
    std::string root = WithoutTrailingSlashes(Env("ORB_MACHINE_ROOT"));
    return root.empty() ? std::string(kDefaultMachineRoot) : root;
}

std::string ComputerName() {
    std::string name = Env("ORB_COMPUTERNAME");
    if (name.empty()) {
        char host[256] = {};
        if (gethostname(host, sizeof host - 1) != 0) return "LOCALHOST";
        name = host;
        // Windows names a computer by its first label only.
        name = name.substr(0, name.find('.'));
        if (name.empty()) name = "LOCALHOST";
    }
    return Upper(name);
}

std::string MachineRootOf(const std::string& computerName) {
    std::string name = computerName;
    while (!name.empty() && name.front() == '\\') name.erase(0, 1);
    if (name.empty() || SameName(name, ComputerName())) return MachineRoot();
    if (!PlausibleComputerName(name)) return {};

    // Roots live side by side; the directory may be spelled in any case.
    const fs::path parent = fs::path(MachineRoot()).parent_path();
    std::error_code ec;
    if (fs::is_directory(parent / name, ec)) return (parent / name).string();
    for (fs::directory_iterator it(parent, ec), end; !ec && it != end; it.increment(ec)) {
        if (SameName(it->path().filename().string(), name) && it->is_directory(ec)) {
            return it->path().string();
        }
    }
    return {};
}

std::string TempDirectory() {
    std::string dir = MachineRoot() + "/tmp";
    std::error_code ec;
    fs::create_directories(dir, ec);
    return dir;
}

std::string MachinePath(const std::string& relative) {
    fs::path path = fs::path(MachineRoot()) / relative;
    std::error_code ec;
    if (path.has_parent_path()) fs::create_directories(path.parent_path(), ec);
    return path.string();
}

std::string MachineFilePath(const std::string& windowsPath) {
    const std::string& p = windowsPath;
    bool drive = p.size() >= 3 && std::isalpha(static_cast<unsigned char>(p[0])) && p[1] == ':' &&
                 (p[2] == '\\' || p[2] == '/');
    std::string rest = p.substr(drive ? 3 : 0);
    for (char& c : rest)
        if (c == '\\') c = '/';
    if (!drive) return rest;
    std::string letter(1, static_cast<char>(std::tolower(static_cast<unsigned char>(p[0]))));
    return MachinePath("drive_" + letter + "/" + rest);
}

}  // namespace orb

BOOL GetComputerNameA(LPSTR buffer, LPDWORD size) {
    if (!size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string name = orb::ComputerName();
    if (!buffer || *size < name.size() + 1) {
        *size = static_cast<DWORD>(name.size() + 1);
        SetLastError(ERROR_BUFFER_OVERFLOW);
        return FALSE;
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    *size = static_cast<DWORD>(name.size());
    return TRUE;
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
    const std::string path = orb::TempDirectory() + "/";
    if (!buffer || bufferLength < path.size() + 1) return static_cast<DWORD>(path.size() + 1);
    std::memcpy(buffer, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}
