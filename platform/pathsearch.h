// Finding files the way Windows finds them: names compare without letter
// case, and a bare name is searched in the running program's directory, then
// along PATH. Shared by library loading and program start.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace orb {

// Windows separators become "/" (paths built with "\\" still work).
std::string ToSlashes(std::string path);
// Splits "a/b/c.dll" into "a/b" and "c.dll" ("" and the name when bare).
void SplitPath(const std::string& path, std::string* dir, std::string* base);
// Lower-cased copy (ASCII), for comparisons without letter case.
std::string Lower(std::string text);
bool EndsWithNoCase(const std::string& text, const std::string& suffix);

// The directory dir names, its components matched without letter case
// where the exact spelling does not exist ("Tools/Bin" finds "tools/bin");
// among several spellings of one component the first in sorted order wins.
// dir itself when it exists or is empty; empty when there is none.
std::string FindDirectoryNoCase(const std::string& dir);
// A file in dir whose name equals one of names without letter case and
// that accept() takes; the exact spelling wins over other spellings. The
// names are tried in the order given; dir is found as FindDirectoryNoCase
// finds it. Empty when none.
std::string FindInDirectory(const std::string& dir, const std::vector<std::string>& names,
                            const std::function<bool(const std::string&)>& accept);
// The running program's directory, then each non-empty PATH entry.
std::vector<std::string> DefaultSearchDirectories();

bool IsRegularFile(const std::string& path);
bool IsDirectory(const std::string& path);
bool IsExecutableFile(const std::string& path);

}  // namespace orb
