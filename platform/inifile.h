// One INI file as its lines, for the private-profile calls: reads find
// sections and keys without letter case; edits change only the lines they
// concern, so comments, order and the other sections survive a write.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orb {

class IniFile {
public:
    // Parses text (lines end in "\n" or "\r\n"; any length).
    explicit IniFile(const std::string& text = "");

    std::vector<std::string> SectionNames() const;
    // Keys of the first section of that name; empty when there is none.
    std::vector<std::string> KeyNames(const std::string& section) const;
    // The value, trimmed and with one pair of enclosing quotes removed.
    std::optional<std::string> Value(const std::string& section, const std::string& key) const;

    void Set(const std::string& section, const std::string& key, const std::string& value);
    void DeleteKey(const std::string& section, const std::string& key);
    void DeleteSection(const std::string& section);

    // The file's text, in the line ends it came with.
    std::string Text() const;

private:
    static constexpr size_t kNone = static_cast<size_t>(-1);
    size_t FindSection(const std::string& section) const;
    size_t SectionEnd(size_t header) const;
    size_t FindKey(size_t header, const std::string& key) const;

    std::vector<std::string> lines_;
    bool crlf_ = false;
};

// The largest INI file read: settings files are a few lines, so anything
// this large is no settings file, and reading it whole would only spend
// memory. Every private-profile call reads the file again.
inline constexpr size_t kIniFileMaxBytes = 1024 * 1024;

// Reads a whole file; false (and empty text) when it does not exist, and
// when it is no regular file or larger than kIniFileMaxBytes: those are
// taken for absent, and standard error says so once per file and process.
bool ReadIniText(const std::string& path, std::string* text);
// Locks the file against other writers, applies edit to its current text
// and replaces it in one rename, so readers see the old or the new file and
// concurrent writers lose nothing. Sets the Win32 last error on failure;
// a file ReadIniText refuses is not touched (ERROR_BAD_FILE_TYPE,
// ERROR_FILE_TOO_LARGE).
bool EditIniFile(const std::string& path, const std::function<void(IniFile&)>& edit);
// The file a Windows INI name means: the path given, or a file of the same
// name in another letter case in that directory.
std::string IniPath(const std::string& fileName);

}  // namespace orb
