// Case-insensitive file search over the Windows search order.
#include "platform/pathsearch.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/dynload.h"

namespace orb {

std::string ToSlashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

void SplitPath(const std::string& path, std::string* dir, std::string* base) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        dir->clear();
        *base = path;
    } else {
        *dir = slash == 0 ? "/" : path.substr(0, slash);
        *base = path.substr(slash + 1);
    }
}

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool EndsWithNoCase(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() &&
           Lower(text.substr(text.size() - suffix.size())) == Lower(suffix);
}

namespace {

std::string Join(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

// For each of names, the entries of dir that match it without letter case,
// sorted so that the choice among several spellings does not depend on the
// file system. One pass over the directory serves all names.
std::vector<std::vector<std::string>> NoCaseMatches(const std::string& dir,
                                                    const std::vector<std::string>& names) {
    std::vector<std::vector<std::string>> found(names.size());
    DIR* d = opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return found;
    std::vector<std::string> wanted;
    for (const std::string& name : names) wanted.push_back(Lower(name));
    while (dirent* entry = readdir(d)) {
        std::string lower = Lower(entry->d_name);
        for (size_t i = 0; i < wanted.size(); ++i) {
            if (lower == wanted[i]) found[i].push_back(entry->d_name);
        }
    }
    closedir(d);
    for (auto& spellings : found) std::sort(spellings.begin(), spellings.end());
    return found;
}

std::string FindExact(const std::string& dir, const std::vector<std::string>& names,
                      const std::function<bool(const std::string&)>& accept) {
    for (const std::string& name : names) {
        if (!name.empty() && accept(Join(dir, name))) return Join(dir, name);
    }
    return "";
}

}  // namespace

std::string FindDirectoryNoCase(const std::string& dir) {
    if (dir.empty() || IsDirectory(dir)) return dir;
    std::string found = dir.front() == '/' ? "/" : "";
    size_t start = 0;
    while (start < dir.size()) {
        size_t slash = dir.find('/', start);
        if (slash == std::string::npos) slash = dir.size();
        const std::string part = dir.substr(start, slash - start);
        start = slash + 1;
        if (part.empty() || part == ".") continue;
        std::string next = Join(found, part);
        if (part != ".." && !IsDirectory(next)) {
            next.clear();
            const std::vector<std::vector<std::string>> spellings = NoCaseMatches(found, {part});
            for (const std::string& spelling : spellings[0]) {
                if (IsDirectory(Join(found, spelling))) {
                    next = Join(found, spelling);
                    break;
                }
            }
            if (next.empty()) return "";
        }
        found = std::move(next);
    }
    return found.empty() ? "." : found;
}

std::string FindInDirectory(const std::string& dir, const std::vector<std::string>& names,
                            const std::function<bool(const std::string&)>& accept) {
    // The exact spellings first: cheap, and right in most cases.
    std::string path = FindExact(dir, names, accept);
    if (!path.empty()) return path;
    const std::string where = FindDirectoryNoCase(dir);
    if (where.empty()) return "";
    if (where != dir && !(path = FindExact(where, names, accept)).empty()) return path;
    for (const auto& spellings : NoCaseMatches(where, names)) {
        for (const std::string& spelling : spellings) {
            path = Join(where, spelling);
            if (accept(path)) return path;
        }
    }
    return "";
}

std::vector<std::string> DefaultSearchDirectories() {
    std::vector<std::string> dirs;
    std::string programDir = ProgramDirectory();
    if (!programDir.empty()) dirs.push_back(programDir);
    const char* path = getenv("PATH");
    std::string rest = path ? path : "";
    size_t start = 0;
    while (start <= rest.size()) {
        size_t colon = rest.find(':', start);
        if (colon == std::string::npos) colon = rest.size();
        std::string entry = rest.substr(start, colon - start);
        if (!entry.empty() && std::find(dirs.begin(), dirs.end(), entry) == dirs.end()) {
            dirs.push_back(entry);
        }
        start = colon + 1;
    }
    return dirs;
}

bool IsRegularFile(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsDirectory(const std::string& path) {
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsExecutableFile(const std::string& path) {
    return IsRegularFile(path) && access(path.c_str(), X_OK) == 0;
}

}  // namespace orb
