// The OID registry: a tree with one node per arc of every registered OID,
// so every prefix of a registered object is a node; only registered nodes
// carry a MibEntry. One re-entrant lock guards the whole tree; table and
// watcher locks are always taken before it, never after.
//
// Routines return errno-style codes: 0 success, 2 no such node, 17 already
// registered, 22 the text is not an OID.
//
// Each level keeps its children in ascending order of arc, indexed by arc,
// so that finding a cell or its successor in a table of thousands of rows
// costs a logarithmic search per level instead of a walk along the row list.
#pragma once

#include <cstddef>
#include <map>
#include <memory>

#include "platform/sync.h"
#include "snmpagent/mibentry.h"

// Node texts: the full dotted OID with a leading dot, at most 255 characters.
inline constexpr size_t kMibOidTextSize = 256;

struct MibNode {
    UINT arc = 0;
    char oidText[kMibOidTextSize] = {};
    BOOL registered = FALSE;
    const MibEntry* entry = nullptr;
    std::map<UINT, std::unique_ptr<MibNode>> children;
};

// The registry lock; held by every routine below for its whole run.
orb::CriticalSection& mibLock();

int mibInsert(const char* oidText, const MibEntry* entry);
// Removes the node of that OID with its whole subtree; its ancestors stay.
int mibRemove(const char* oidText);
// The node of exactly that OID, or null. Valid only while the caller holds
// mibLock() (a collector may remove it otherwise).
MibNode* mibFind(const char* oidText);
// 0 and the entry of a registered object, else 2.
int mibGet(const char* oidText, const MibEntry** entry);
// The first registered object whose OID follows the given one in the order
// of arcs, whether or not the given OID is itself a node of the tree: 0, its
// text (cut to nextSize) and entry; 2 when none follows or the text is not an OID.
int mibGetNext(const char* oidText, char* nextText, size_t nextSize, const MibEntry** entry);

// The same two look-ups by arcs, for the request path, whose names need no
// text to be found. A name without arcs or with more than SNMP_MAX_OID_LEN
// is no OID, as its text would not parse.
struct MibOid {
    UINT ids[SNMP_MAX_OID_LEN];
    UINT count = 0;
};
int mibGetOid(const AsnObjectIdentifier& name, const MibEntry** entry);
// As mibGetNext; *next (when given) receives the arcs of the object found,
// nextText (when given) its text.
int mibGetNextOid(const AsnObjectIdentifier& name, MibOid* next, char* nextText, size_t nextSize,
                  const MibEntry** entry);
