// Windows command lines into argument vectors, by the rules of
// CommandLineToArgvW: the program name ends at the first blank or is quoted
// (no escapes in it); in the arguments, 2n backslashes before a quote are n
// backslashes and the quote toggles quoting, 2n+1 are n and a literal quote,
// other backslashes are literal, and "" inside quotes is a literal quote.
#include <string>
#include <vector>

#include "platform/process.h"

namespace orb {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Reads the program name from text[pos...]; pos ends after it.
std::string ProgramWord(const std::string& text, size_t& pos) {
    std::string word;
    if (text[pos] == '"') {
        size_t close = text.find('"', pos + 1);
        if (close == std::string::npos) close = text.size();
        word = text.substr(pos + 1, close - pos - 1);
        pos = close < text.size() ? close + 1 : close;
    } else {
        while (pos < text.size() && !IsBlank(text[pos])) word += text[pos++];
    }
    return word;
}

// Reads one argument from text[pos...] (pos at its first character).
std::string ArgumentWord(const std::string& text, size_t& pos) {
    std::string word;
    bool quoted = false;
    while (pos < text.size() && (quoted || !IsBlank(text[pos]))) {
        size_t slashes = 0;
        while (pos < text.size() && text[pos] == '\\') {
            ++slashes;
            ++pos;
        }
        if (pos < text.size() && text[pos] == '"') {
            word.append(slashes / 2, '\\');
            if (slashes % 2) {
                word += '"';
            } else if (quoted && pos + 1 < text.size() && text[pos + 1] == '"') {
                word += '"';
                ++pos;
            } else {
                quoted = !quoted;
            }
            ++pos;
        } else {
            word.append(slashes, '\\');
            if (slashes == 0 && pos < text.size()) word += text[pos++];
        }
    }
    return word;
}

}  // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    std::vector<std::string> argv;
    size_t pos = 0;
    while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
    if (pos >= commandLine.size()) return argv;
    argv.push_back(ProgramWord(commandLine, pos));
    for (;;) {
        while (pos < commandLine.size() && IsBlank(commandLine[pos])) ++pos;
        if (pos >= commandLine.size()) break;
        argv.push_back(ArgumentWord(commandLine, pos));
    }
    return argv;
}

}  // namespace orb

namespace orb {

namespace {

bool NeedsQuotes(const std::string& arg) {
    return arg.empty() || arg.find_first_of(" \t\"") != std::string::npos;
}

// One argument in the form ArgumentWord reads back: backslashes are doubled
// only where a quote follows them.
std::string QuoteArgument(const std::string& arg) {
    if (!NeedsQuotes(arg)) return arg;
    std::string quoted = "\"";
    size_t slashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
        slashes = 0;
        quoted += c;
    }
    quoted.append(2 * slashes, '\\');
    return quoted + "\"";
}

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& args) {
    std::string line;
    for (const std::string& arg : args) {
        if (!line.empty()) line += ' ';
        line += QuoteArgument(arg);
    }
    return line;
}

}  // namespace orb
