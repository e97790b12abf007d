// Fuzzes the discovery table's parser: any text parses without a crash; each
// server read back from a line writes out and reads in again unchanged, and
// no message about a skipped line grows with the line that caused it.
// fuzz-sources: backup/discotable/parse.cpp platform/pathsearch.cpp platform/lasterror.cpp
#include <cstdint>
#include <cstdlib>
#include <string>

#include "backup/discotable/discotable.h"

namespace {

// A reason names the field and quotes at most a short piece of it.
constexpr size_t kLongestReason = 200;

bool Same(const disco::Server& a, const disco::Server& b) {
    return a.name == b.name && a.domain == b.domain && a.owner == b.owner &&
           a.address == b.address && a.release == b.release && a.products == b.products;
}

}  // namespace

// The search-path half of pathsearch.cpp, never reached from the parser,
// asks where the program lives; the loader that answers is not linked here.
namespace orb {
std::string ProgramDirectory() { return "."; }
}  // namespace orb

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const disco::Table table = disco::ParseTable(text);
    for (const disco::Problem& problem : table.problems) {
        if (problem.line == 0 || problem.reason.empty()) abort();
        if (problem.reason.size() > kLongestReason) abort();
    }
    for (const disco::Server& server : table.servers) {
        if (!disco::CheckServer(server).empty()) abort();
        const disco::Table again = disco::ParseTable(disco::FormatLine(server));
        if (!again.problems.empty() || again.servers.size() != 1) abort();
        if (!Same(again.servers[0], server)) abort();
    }
    return 0;
}
