// Fetching the agents' traps. Each agent signals its trap event from its own
// threads; one waiter thread per agent turns that into a wake-up of the SNMP
// thread, which alone calls SnmpExtensionTrap (until FALSE) and sends the
// traps, because the engine must be used from a single thread.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "platform/sync.h"
#include "platform/wakeup.h"
#include "snmphost/agent.h"

namespace snmphost {

class TrapPump {
  public:
    TrapPump(const std::vector<ExtensionAgent*>& agents, orb::Wakeup* wakeup);
    ~TrapPump();
    TrapPump(const TrapPump&) = delete;
    TrapPump& operator=(const TrapPump&) = delete;

    // Starts one waiter per agent that has a trap event.
    void Start();
    // Ends and joins the waiters.
    void Stop();
    // On the SNMP thread: fetches and sends the traps of every signalled agent.
    void SendPending();

  private:
    struct Watch {
        ExtensionAgent* agent;
        std::atomic<bool> signalled{false};
        orb::Thread waiter;
    };
    void Wait(Watch* watch);
    void Drain(ExtensionAgent* agent);

    std::vector<std::unique_ptr<Watch>> watches_;
    orb::Wakeup* wakeup_;
    std::atomic<bool> stopping_{false};
};

}  // namespace snmphost
