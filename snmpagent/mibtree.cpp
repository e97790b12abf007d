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

MibNode* walk(const UINT* ids, UINT count) {
    MibNode* node = &topLevel();
    for (UINT i = 0; i < count; ++i) {
        auto child = node->children.find(ids[i]);
        if (child == node->children.end()) return nullptr;
        node = child->second.get();
    }
    return node;
}

bool isOid(const AsnObjectIdentifier& name) {
    return name.idLength > 0 && name.idLength <= SNMP_MAX_OID_LEN && name.ids;
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

// The node itself when registered, else the first registered node below it,
// with the arcs down to it appended to path. Ancestors of removed subtrees
// stay, so a subtree may hold no object at all.
const MibNode* firstRegistered(const MibNode& node, MibOid* path) {
    if (node.registered) return &node;
    if (path->count == SNMP_MAX_OID_LEN) return nullptr;  // deeper than any registered text
    for (const auto& [arc, child] : node.children) {
        path->ids[path->count++] = arc;
        if (const MibNode* found = firstRegistered(*child, path)) return found;
        --path->count;
    }
    return nullptr;
}

// The first registered node below `level` whose OID is greater than the
// given arcs, `level` being the node of the first `depth` of them (which
// path holds on entry; on success it holds the arcs of the node found).
const MibNode* nextBelow(const MibNode& level, const AsnObjectIdentifier& oid, UINT depth,
                         MibOid* path) {
    if (path->count == SNMP_MAX_OID_LEN) return nullptr;
    auto it = level.children.begin();
    if (depth < oid.idLength) {
        const UINT arc = oid.ids[depth];
        it = level.children.lower_bound(arc);
        if (it != level.children.end() && it->first == arc) {
            path->ids[path->count++] = arc;
            if (const MibNode* found = nextBelow(*it->second, oid, depth + 1, path)) return found;
            --path->count;
            ++it;
        }
    }
    for (; it != level.children.end(); ++it) {
        path->ids[path->count++] = it->first;
        if (const MibNode* found = firstRegistered(*it->second, path)) return found;
        --path->count;
    }
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
    return walk(oid.ids(), oid.count());
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
    const AsnObjectIdentifier name{oid.count(), const_cast<UINT*>(oid.ids())};
    return mibGetNextOid(name, nullptr, nextText, nextSize, entry);
}

int mibGetOid(const AsnObjectIdentifier& name, const MibEntry** entry) {
    if (!isOid(name)) return 2;
    std::lock_guard<orb::CriticalSection> hold(mibLock());
    const MibNode* node = walk(name.ids, name.idLength);
    if (!node || !node->registered) return 2;
    if (entry) *entry = node->entry;
    return 0;
}

int mibGetNextOid(const AsnObjectIdentifier& name, MibOid* next, char* nextText, size_t nextSize,
                  const MibEntry** entry) {
    if (!isOid(name)) return 2;
    MibOid scratch;
    MibOid& path = next ? *next : scratch;
    path.count = 0;
    std::lock_guard<orb::CriticalSection> hold(mibLock());
    const MibNode* found = nextBelow(topLevel(), name, 0, &path);
    if (!found) return 2;
    if (nextText) copyText(nextText, nextSize, found->oidText);
    if (entry) *entry = found->entry;
    return 0;
}
