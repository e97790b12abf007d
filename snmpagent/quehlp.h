// quehlp: named queues of byte messages, each tied to an event that is
// signalled when a message arrives. The agent's threads report through the
// queue "lmEB_Traps", whose event is the trap event the SNMP service waits on.
//
// Codes are errno-style: 0 success, 2 no such queue or nothing to take,
// 12 out of memory (or the queue is full), 17 the queue exists.
// Queue names compare without letter case; at most 65 characters count.
#pragma once

#include <cstddef>

#include "platform/snmp.h"

// Most characters of a queue name that are kept.
inline constexpr size_t kQueueNameLength = 65;
// Most messages one queue keeps waiting; a sender past it gets 12. Nothing
// else bounds a queue whose receiver never comes (no trap event).
inline constexpr LONG kQueueMaxMessages = 10000;

// event null: the queue creates and owns a manual-reset event of its own.
int mqCreate(const char* name, HANDLE event);
// Appends a copy of the bytes and signals the queue's event.
int mqSend(const char* name, const void* bytes, UINT length);
// True when a queue of that name exists.
bool mqExists(const char* name);
// Takes the oldest message; *bytes is a malloc'ed copy the caller frees.
// noWait 0 waits for a message without limit; otherwise an empty queue gives 2.
int mqReceive(const char* name, BYTE** bytes, UINT* length, int noWait);
