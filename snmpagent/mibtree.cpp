#include "snmpagent/mibtree.h"

#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

// The top level: its children hold the first arc of every registered OID.
MibNode& topLevel() {
    static MibNode top;
    return top;
}

// An OID text parsed into arcs; empty when the text is not an OID.
class ParsedOid {
public:
    explicit ParsedOid(const char* text) {
        if (text && strnlen(text, SNMP_MAX_OID_TEXT + 1) <= SNMP_MAX_OID_TEXT)
            valid_ = SnmpMgrStrToOid(text, &oid_) == TRUE;
    }
    ~ParsedOid() { SnmpUtilOidFree(&oid_); }
    ParsedOid(const ParsedOid&) = delete;
    ParsedOid& operator=(const ParsedOid&) = delete;

    bool valid() const { return valid_; }
    const UINT* ids() const { return oid_.ids; }
    UINT count() const { return oid_.idLength; }

private:
    AsnObjectIdentifier oid_{};
    bool valid_ = false;
};

MibNode* walk(const ParsedOid& oid) {
    MibNode* node = &topLevel();
    for (UINT i = 0; i < oid.count(); ++i) {
        auto child = node->children.find(oid.ids()[i]);
        if (child == node->children.end()) return nullptr;
        node = child->second.get();
    }
    return node;
}

MibNode* walkCreating(const ParsedOid& oid) {
    MibNode* node = &topLevel();
    for (UINT i = 0; i < oid.count(); ++i) {
        auto& child = node->children[oid.ids()[i]];
        if (!child) {
            child = std::make_unique<MibNode>();
            child->arc = oid.ids()[i];
        }
        node = child.get();
    }
    return node;
}

// The node itself when registered, else the first registered node below it.
// Ancestors of removed subtrees stay, so a subtree may hold no object at all.
const MibNode* firstRegistered(const MibNode& node) {
    if (node.registered) return &node;
    for (const auto& [arc, child] : node.children)
        if (const MibNode* found = firstRegistered(*child)) return found;
    return nullptr;
}

// The first registered node below `level` whose OID is greater than the
// given arcs, `level` being the node of the first `depth` of them.
const MibNode* nextBelow(const MibNode& level, const ParsedOid& oid, UINT depth) {
    auto it = level.children.begin();
    if (depth < oid.count()) {
        const UINT arc = oid.ids()[depth];
        it = level.children.lower_bound(arc);
        if (it != level.children.end() && it->first == arc) {
            if (const MibNode* found = nextBelow(*it->second, oid, depth + 1)) return found;
            ++it;
        }
    }
    for (; it != level.children.end(); ++it)
        if (const MibNode* found = firstRegistered(*it->second)) return found;
    return nullptr;
}

void copyText(char* destination, size_t size, const char* text) {
    if (size == 0) return;
    snprintf(destination, size, "%s", text);
}

}  // namespace

orb::CriticalSection& mibLock() {
    static orb::CriticalSection lock;
    return lock;
}

int mibInsert(const char* oidText, const MibEntry* entry) {
    // A text the node cannot hold whole is refused like one that is no OID.
    if (!oidText || strnlen(oidText, kMibOidTextSize) >= kMibOidTextSize) return 22;
    std::lock_guard<orb::CriticalSection> hold(mibLock());
    MibNode* node = mibFind(oidText);
    if (node && node->registered) return 17;
    if (!node) {
        ParsedOid oid(oidText);
        if (!oid.valid()) return 22;
        node = walkCreating(oid);
    }
    copyText(node->oidText, sizeof node->oidText, oidText);
    node->registered = TRUE;
    node->entry = entry;
    return 0;
}

int mibRemove(const char* oidText) {
    ParsedOid oid(oidText);
    if (!oid.valid()) return 22;
    std::lock_guard<orb::CriticalSection> hold(mibLock());
    MibNode* parent = &topLevel();
    for (UINT i = 0; i + 1 < oid.count(); ++i) {
        auto child = parent->children.find(oid.ids()[i]);
        if (child == parent->children.end()) return 2;
        parent = child->second.get();
    }
    return parent->children.erase(oid.ids()[oid.count() - 1]) ? 0 : 2;
}

MibNode* mibFind(const char* oidText) {
    ParsedOid oid(oidText);
    if (!oid.valid()) return nullptr;
    std::lock_guard<orb::CriticalSection> hold(mibLock());
    return walk(oid);
}

int mibGet(const char* oidText, const MibEntry** entry) {
    std::lock_guard<orb::CriticalSection> hold(mibLock());
    const MibNode* node = mibFind(oidText);
    if (!node || !node->registered) return 2;
    if (entry) *entry = node->entry;
    return 0;
}

int mibGetNext(const char* oidText, char* nextText, size_t nextSize, const MibEntry** entry) {
    ParsedOid oid(oidText);
    if (!oid.valid()) return 2;
    std::lock_guard<orb::CriticalSection> hold(mibLock());
    const MibNode* next = nextBelow(topLevel(), oid, 0);
    if (!next) return 2;
    if (nextText) copyText(nextText, nextSize, next->oidText);
    if (entry) *entry = next->entry;
    return 0;
}
