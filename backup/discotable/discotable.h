// The backup product's discovery table: one text file in the machine root,
// "vaultline/discovery.tbl", one announcement of a backup server per line.
// Both the discovery library and the discovery service read it through
// here, and vldisco keeps it; this is the only parser of the format.
//
// A line holds six fields separated by spaces or tabs:
//   NAME DOMAIN OWNER ADDRESS RELEASE PRODUCTS
// NAME and DOMAIN have 1 to 15 printable characters (the record's fields);
// OWNER is a 32-bit decimal; ADDRESS is an IPv4 dotted quad; RELEASE is 0 to
// 255; PRODUCTS is a comma-separated list of decimal product ids, or "-" for
// none (the field may be left off). Empty lines and lines starting with "#"
// are comments. A malformed line is skipped with its line number reported;
// the other lines still serve. The same name may appear on several lines:
// each is one announcement.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace disco {

// Longest server or domain name: the record's fields hold 16 bytes.
inline constexpr size_t kMaxName = 15;

struct Server {
    std::string name;
    std::string domain;
    uint32_t owner = 0;
    std::array<uint8_t, 4> address{};
    uint8_t release = 0;
    std::vector<uint32_t> products;
};

// A line that was skipped, and why.
struct Problem {
    size_t line = 0;
    std::string reason;
};

struct Table {
    std::vector<Server> servers;  // in the order of the lines
    std::vector<Problem> problems;
};

// <machine root>/vaultline/discovery.tbl (the directory is created).
std::string TablePath();

// Why a server cannot be written to the table; empty when it can.
std::string CheckServer(const Server& server);
// "A.B.C.D" into four octets; false for anything else.
bool ParseAddress(const std::string& text, std::array<uint8_t, 4>* address);
std::string AddressText(const std::array<uint8_t, 4>& address);
// Server names compare without letter case, as the network's names do.
bool SameName(const std::string& a, const std::string& b);
bool RunsProduct(const Server& server, uint32_t productId);

// Parses a whole table; tries the line as one server when it is not a comment.
Table ParseTable(const std::string& text);
// One line of the table for the server, ending in "\n".
std::string FormatLine(const Server& server);
// "PATH line N skipped: REASON".
std::string ProblemText(const std::string& path, const Problem& problem);

// Reads the table at path. false and a Win32 code in *error when the file
// does not exist (ERROR_FILE_NOT_FOUND) or cannot be read.
bool LoadTable(const std::string& path, Table* table, uint32_t* error);
// LoadTable, with every skipped line reported to the debugger output.
bool LoadTableReporting(const std::string& path, Table* table, uint32_t* error);
// Appends one announcement. false and a Win32 code when the server is not
// valid (ERROR_INVALID_PARAMETER) or the file cannot be written.
bool AppendServer(const std::string& path, const Server& server, uint32_t* error);
// Appends several announcements in one write (all or none), so that a large
// table is not rewritten once per line.
bool AppendServers(const std::string& path, const std::vector<Server>& servers, uint32_t* error);
// Removes every line announcing that name; other lines, comments and
// malformed lines stay as they are. *removed gets the count.
bool RemoveServer(const std::string& path, const std::string& name, size_t* removed,
                  uint32_t* error);

}  // namespace disco
