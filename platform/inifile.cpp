// INI text: parsing, look-up and line-preserving edits.
#include "platform/inifile.h"

#include "platform/pathsearch.h"

namespace orb {
namespace {

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b) { return Lower(a) == Lower(b); }

// "[name]" (blanks around and inside the brackets ignored); a header
// without its closing bracket still opens a section, as on Windows.
bool ParseHeader(const std::string& line, std::string* name) {
    std::string text = Trim(line);
    if (text.empty() || text[0] != '[') return false;
    size_t close = text.find(']');
    *name = Trim(text.substr(1, close == std::string::npos ? std::string::npos : close - 1));
    return true;
}

// "key=value"; comment lines (";") and lines without "=" are no entries.
bool ParseEntry(const std::string& line, std::string* key, std::string* value) {
    std::string text = Trim(line);
    if (text.empty() || text[0] == ';' || text[0] == '[') return false;
    size_t equals = text.find('=');
    if (equals == std::string::npos) return false;
    *key = Trim(text.substr(0, equals));
    *value = Trim(text.substr(equals + 1));
    return true;
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace

IniFile::IniFile(const std::string& text) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
            if (lines_.empty()) crlf_ = true;
        }
        lines_.push_back(std::move(line));
        start = end + 1;
    }
}

size_t IniFile::FindSection(const std::string& section) const {
    std::string name;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (ParseHeader(lines_[i], &name) && SameName(name, section)) return i;
    }
    return kNone;
}

size_t IniFile::SectionEnd(size_t header) const {
    std::string name;
    size_t i = header + 1;
    while (i < lines_.size() && !ParseHeader(lines_[i], &name)) ++i;
    return i;
}

size_t IniFile::FindKey(size_t header, const std::string& key) const {
    std::string name, value;
    for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
        if (ParseEntry(lines_[i], &name, &value) && SameName(name, key)) return i;
    }
    return kNone;
}

std::vector<std::string> IniFile::SectionNames() const {
    std::vector<std::string> names;
    std::string name;
    for (const std::string& line : lines_) {
        if (ParseHeader(line, &name)) names.push_back(name);
    }
    return names;
}

std::vector<std::string> IniFile::KeyNames(const std::string& section) const {
    std::vector<std::string> keys;
    size_t header = FindSection(section);
    if (header == kNone) return keys;
    std::string key, value;
    for (size_t i = header + 1, end = SectionEnd(header); i < end; ++i) {
        if (ParseEntry(lines_[i], &key, &value)) keys.push_back(key);
    }
    return keys;
}

std::optional<std::string> IniFile::Value(const std::string& section, const std::string& key) const {
    size_t header = FindSection(section);
    size_t line = header == kNone ? kNone : FindKey(header, key);
    if (line == kNone) return std::nullopt;
    std::string name, value;
    ParseEntry(lines_[line], &name, &value);
    return Unquote(value);
}

void IniFile::Set(const std::string& section, const std::string& key, const std::string& value) {
    size_t header = FindSection(section);
    if (header == kNone) {
        lines_.push_back("[" + section + "]");
        lines_.push_back(key + "=" + value);
        return;
    }
    size_t line = FindKey(header, key);
    if (line != kNone) {
        std::string name, old;
        ParseEntry(lines_[line], &name, &old);
        lines_[line] = name + "=" + value;
        return;
    }
    // After the section's last non-blank line, so the blank line that
    // separates it from the next section stays where it is.
    size_t at = SectionEnd(header);
    while (at > header + 1 && Trim(lines_[at - 1]).empty()) --at;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), key + "=" + value);
}

void IniFile::DeleteKey(const std::string& section, const std::string& key) {
    size_t header = FindSection(section);
    size_t line = header == kNone ? kNone : FindKey(header, key);
    if (line != kNone) lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(line));
}

void IniFile::DeleteSection(const std::string& section) {
    size_t header = FindSection(section);
    if (header == kNone) return;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(SectionEnd(header)));
}

std::string IniFile::Text() const {
    std::string text;
    for (const std::string& line : lines_) {
        // A line whose own text ends in "\r" keeps it only when another one
        // follows: a reader takes one "\r" before the "\n" for the line end.
        const bool ownReturn = !line.empty() && line.back() == '\r';
        text += line + (crlf_ || ownReturn ? "\r\n" : "\n");
    }
    return text;
}

}  // namespace orb
