// AgentList: the one list shape of the agent. Tables, queues and their
// messages are elements that begin with an AgentListLink, so one set of
// routines serves all of them and an element is unlinked in constant time.
#pragma once

#include "platform/win32.h"

struct AgentListLink {
    AgentListLink* next;
    AgentListLink* prev;
};

struct AgentList {
    LONG count;
    AgentListLink* head;
    AgentListLink* tail;
};

// Appends item at the tail.
void listAppend(AgentList* list, AgentListLink* item);
// Inserts item before `before`; appends when `before` is null.
void listInsertBefore(AgentList* list, AgentListLink* before, AgentListLink* item);
// Unlinks item (which must be in list) and clears its links.
void listUnlink(AgentList* list, AgentListLink* item);
// Null current gives the head; otherwise the element after current.
AgentListLink* listNext(const AgentList* list, const AgentListLink* current);

// The same over element types whose first member is their AgentListLink.
template <typename T>
T* listNextAs(const AgentList* list, const T* current) {
    return reinterpret_cast<T*>(
        listNext(list, reinterpret_cast<const AgentListLink*>(current)));
}
