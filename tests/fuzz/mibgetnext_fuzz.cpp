// Fuzzes the OID registry: a script of inserts, removals and GETNEXTs, each
// answer checked against a plain ordered set of the registered OIDs.
// Script lines: "+OID" registers, "-OID" removes the subtree, "?OID" asks
// for the next object; other lines are ignored.
// fuzz-sources: snmpagent/mibtree.cpp platform/snmp/*.cpp platform/lasterror.cpp
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "snmpagent/mibtree.h"

namespace {

using Arcs = std::vector<UINT>;

bool parse(const std::string& text, Arcs* arcs) {
    AsnObjectIdentifier oid{};
    if (!SnmpMgrStrToOid(text.c_str(), &oid)) return false;
    arcs->assign(oid.ids, oid.ids + oid.idLength);
    SnmpUtilOidFree(&oid);
    return true;
}

bool isPrefix(const Arcs& prefix, const Arcs& arcs) {
    return prefix.size() <= arcs.size() && std::equal(prefix.begin(), prefix.end(), arcs.begin());
}

const MibEntry kEntry{".x", ASN_INTEGER, kMibReadOnly, nullptr, 0, nullptr, nullptr};

// First arcs of every insert tried: removal leaves ancestors behind, and the
// next run must start from an empty tree.
std::set<UINT> g_firstArcs;

void insert(const std::string& text, std::set<Arcs>& model) {
    Arcs arcs;
    const bool valid = text.size() < kMibOidTextSize && parse(text, &arcs);
    if (valid) g_firstArcs.insert(arcs[0]);
    const int rc = mibInsert(text.c_str(), &kEntry);
    const int expected = !valid ? 22 : model.count(arcs) ? 17 : 0;
    if (rc != expected) abort();
    if (rc == 0) model.insert(arcs);
}

void remove(const std::string& text, std::set<Arcs>& model) {
    Arcs arcs;
    const bool valid = parse(text, &arcs);
    const int rc = mibRemove(text.c_str());
    if (!valid) {
        if (rc != 22) abort();
        return;
    }
    // Nodes without objects below them may remain, so 0 and 2 both fit an
    // empty prefix; a prefix of a registered OID must be found.
    bool covers = false;
    for (auto it = model.begin(); it != model.end();) {
        if (isPrefix(arcs, *it)) {
            covers = true;
            it = model.erase(it);
        } else {
            ++it;
        }
    }
    if (covers && rc != 0) abort();
}

void getNext(const std::string& text, const std::set<Arcs>& model) {
    char next[kMibOidTextSize];
    memset(next, 'x', sizeof next);
    const MibEntry* entry = nullptr;
    const int rc = mibGetNext(text.c_str(), next, sizeof next, &entry);
    Arcs arcs;
    if (!parse(text, &arcs)) {
        if (rc != 2) abort();
        return;
    }
    const auto expected = model.upper_bound(arcs);
    if (expected == model.end()) {
        if (rc != 2) abort();
        return;
    }
    Arcs found;
    if (rc != 0 || entry != &kEntry || memchr(next, 0, sizeof next) == nullptr ||
        !parse(next, &found) || found != *expected)
        abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::istringstream script(std::string(reinterpret_cast<const char*>(data), size));
    std::set<Arcs> model;
    std::string line;
    while (std::getline(script, line)) {
        if (line.empty()) continue;
        // The routines see C texts: a line ends at its first NUL for them.
        const std::string text = line.substr(1).c_str();
        if (line[0] == '+') insert(text, model);
        if (line[0] == '-') remove(text, model);
        if (line[0] == '?') getNext(text, model);
    }
    // Every run starts from an empty registry.
    for (UINT arc : g_firstArcs) mibRemove(("." + std::to_string(arc)).c_str());
    g_firstArcs.clear();
    return 0;
}
