#include "snmpagent/quehlp.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "snmpagent/agentlist.h"

namespace {

struct QueueMessage {
    AgentListLink link;
    BYTE* bytes;
    UINT length;
};

struct MessageQueue {
    AgentListLink link;
    char name[kQueueNameLength + 1];
    DWORD ownsEvent;
    HANDLE event;
    AgentList messages;
};

struct QueueModule {
    std::mutex lock;
    AgentList queues{};
};

QueueModule& module() {
    static QueueModule instance;
    return instance;
}

// Caller holds the module lock.
MessageQueue* findQueue(const char* name) {
    for (auto* queue = listNextAs<MessageQueue>(&module().queues, nullptr); queue;
         queue = listNextAs(&module().queues, queue))
        if (strncasecmp(queue->name, name, kQueueNameLength) == 0) return queue;
    return nullptr;
}

void freeMessage(QueueMessage* message) {
    free(message->bytes);
    free(message);
}

}  // namespace

int mqCreate(const char* name, HANDLE event) {
    if (!name) return 2;
    std::lock_guard<std::mutex> hold(module().lock);
    if (findQueue(name)) return 17;
    auto* queue = static_cast<MessageQueue*>(calloc(1, sizeof(MessageQueue)));
    if (!queue) return 12;
    strncpy(queue->name, name, kQueueNameLength);
    if (event) {
        queue->event = event;
    } else {
        queue->event = new (std::nothrow) orb::Event(true, false);
        if (!queue->event) {
            free(queue);
            return 12;
        }
        queue->ownsEvent = 1;
    }
    listAppend(&module().queues, &queue->link);
    return 0;
}

int mqSend(const char* name, const void* bytes, UINT length) {
    if (!name || (length && !bytes)) return 2;
    std::lock_guard<std::mutex> hold(module().lock);
    MessageQueue* queue = findQueue(name);
    if (!queue) return 2;
    if (queue->messages.count >= kQueueMaxMessages) return 12;
    auto* message = static_cast<QueueMessage*>(calloc(1, sizeof(QueueMessage)));
    if (!message) return 12;
    message->bytes = static_cast<BYTE*>(malloc(length ? length : 1));
    if (!message->bytes) {
        free(message);
        return 12;
    }
    if (length) memcpy(message->bytes, bytes, length);
    message->length = length;
    listAppend(&queue->messages, &message->link);
    queue->event->Set();
    return 0;
}

bool mqExists(const char* name) {
    if (!name) return false;
    std::lock_guard<std::mutex> hold(module().lock);
    return findQueue(name) != nullptr;
}

int mqReceive(const char* name, BYTE** bytes, UINT* length, int noWait) {
    if (!name || !bytes || !length) return 2;
    std::unique_lock<std::mutex> hold(module().lock);
    for (;;) {
        MessageQueue* queue = findQueue(name);
        if (!queue) return 2;
        auto* message = listNextAs<QueueMessage>(&queue->messages, nullptr);
        if (message) {
            // The copy comes first: when it fails the message stays queued.
            auto* copy = static_cast<BYTE*>(malloc(message->length ? message->length : 1));
            if (!copy) return 12;
            memcpy(copy, message->bytes, message->length);
            listUnlink(&queue->messages, &message->link);
            if (queue->ownsEvent && queue->messages.count == 0) queue->event->Reset();
            *bytes = copy;
            *length = message->length;
            freeMessage(message);
            return 0;
        }
        if (noWait) return 2;
        // Queues are never removed, so the event outlives the unlocked wait.
        HANDLE event = queue->event;
        hold.unlock();
        event->Wait(INFINITE);
        hold.lock();
    }
}
