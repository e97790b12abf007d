#include "snmpagent/agentlist.h"

void listAppend(AgentList* list, AgentListLink* item) {
    listInsertBefore(list, nullptr, item);
}

void listInsertBefore(AgentList* list, AgentListLink* before, AgentListLink* item) {
    item->next = before;
    item->prev = before ? before->prev : list->tail;
    if (item->prev)
        item->prev->next = item;
    else
        list->head = item;
    if (before)
        before->prev = item;
    else
        list->tail = item;
    ++list->count;
}

void listUnlink(AgentList* list, AgentListLink* item) {
    if (item->prev)
        item->prev->next = item->next;
    else
        list->head = item->next;
    if (item->next)
        item->next->prev = item->prev;
    else
        list->tail = item->prev;
    item->next = item->prev = nullptr;
    --list->count;
}

AgentListLink* listNext(const AgentList* list, const AgentListLink* current) {
    return current ? current->next : list->head;
}
