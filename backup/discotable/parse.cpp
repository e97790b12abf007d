// The table's line format: reading a line into a server, checking a server,
// and writing one back.
#include <charconv>
#include <sstream>

#include "backup/discotable/discotable.h"
#include "platform/pathsearch.h"

namespace disco {
namespace {

template <typename Number>
bool ParseNumber(const std::string& text, Number* value) {
    if (text.empty() || text[0] < '0' || text[0] > '9') return false;  // no sign, no space
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *value);
    return error == std::errc() && end == text.data() + text.size();
}

// Longest piece of a rejected field a message quotes; a longer field is cut
// and marked, so that one hostile line cannot flood the log.
constexpr size_t kQuotedLength = 40;

std::string Quoted(const std::string& text) {
    if (text.size() <= kQuotedLength) return "\"" + text + "\"";
    return "\"" + text.substr(0, kQuotedLength) + "...\" (" + std::to_string(text.size()) +
           " characters)";
}

bool Printable(const std::string& text) {
    for (unsigned char c : text) {
        if (c <= ' ' || c >= 0x7F) return false;
    }
    return true;
}

std::string CheckName(const char* what, const std::string& name) {
    if (name.empty()) return std::string(what) + " is empty";
    if (name.size() > kMaxName) {
        return std::string(what) + " " + Quoted(name) + " is longer than " +
               std::to_string(kMaxName) + " characters";
    }
    if (!Printable(name))
        return std::string(what) + " " + Quoted(name) + " holds a space or control character";
    return "";
}

bool ParseProducts(const std::string& text, std::vector<uint32_t>* products) {
    products->clear();
    if (text == "-") return true;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        uint32_t id = 0;
        if (!ParseNumber(text.substr(start, comma - start), &id)) return false;
        products->push_back(id);
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> fields;
    std::istringstream in(line);
    for (std::string field; in >> field;) fields.push_back(field);
    return fields;
}

// The server of one line, or the reason it is not one.
std::string ParseLine(const std::string& line, Server* server) {
    std::vector<std::string> f = Fields(line);
    if (f.size() < 5 || f.size() > 6) {
        return "expected 6 fields (name domain owner address release products), found " +
               std::to_string(f.size());
    }
    server->name = f[0];
    server->domain = f[1];
    if (!ParseNumber(f[2], &server->owner)) return "owner " + Quoted(f[2]) + " is not a 32-bit number";
    if (!ParseAddress(f[3], &server->address)) return "address " + Quoted(f[3]) + " is not A.B.C.D";
    if (!ParseNumber(f[4], &server->release)) return "release " + Quoted(f[4]) + " is not 0 to 255";
    if (f.size() == 6 && !ParseProducts(f[5], &server->products)) {
        return "products " + Quoted(f[5]) + " is not a comma-separated list of numbers or -";
    }
    if (f.size() == 5) server->products.clear();
    return CheckServer(*server);
}

}  // namespace

std::string CheckServer(const Server& server) {
    std::string why = CheckName("server name", server.name);
    if (why.empty() && server.name[0] == '#') why = "server name starts with #";
    if (why.empty()) why = CheckName("domain", server.domain);
    return why;
}

bool ParseAddress(const std::string& text, std::array<uint8_t, 4>* address) {
    size_t start = 0;
    for (size_t i = 0; i < 4; ++i) {
        size_t dot = text.find('.', start);
        if ((i < 3) == (dot == std::string::npos)) return false;
        std::string part = text.substr(start, dot - start);
        if (part.size() > 3 || !ParseNumber(part, &(*address)[i])) return false;
        start = dot + 1;
    }
    return true;
}

std::string AddressText(const std::array<uint8_t, 4>& a) {
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && orb::Lower(a) == orb::Lower(b);
}

bool RunsProduct(const Server& server, uint32_t productId) {
    for (uint32_t id : server.products) {
        if (id == productId) return true;
    }
    return false;
}

Table ParseTable(const std::string& text) {
    Table table;
    std::istringstream in(text);
    size_t number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#') continue;
        Server server;
        std::string why = ParseLine(line, &server);
        if (why.empty()) {
            table.servers.push_back(std::move(server));
        } else {
            table.problems.push_back({number, why});
        }
    }
    return table;
}

std::string FormatLine(const Server& server) {
    std::string products;
    for (uint32_t id : server.products) {
        products += (products.empty() ? "" : ",") + std::to_string(id);
    }
    return server.name + "\t" + server.domain + "\t" + std::to_string(server.owner) + "\t" +
           AddressText(server.address) + "\t" + std::to_string(server.release) + "\t" +
           (products.empty() ? "-" : products) + "\n";
}

std::string ProblemText(const std::string& path, const Problem& problem) {
    return path + " line " + std::to_string(problem.line) + " skipped: " + problem.reason;
}

}  // namespace disco
