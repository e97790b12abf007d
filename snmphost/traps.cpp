// Waiting for the agents' trap events and sending their traps.
#include "snmphost/traps.h"

#include "snmphost/convert.h"

namespace snmphost {

namespace {

// Traps taken from one agent per wake-up: an agent that never answers FALSE
// must not keep requests from being served. The rest follows on the next turn.
constexpr int kTrapsPerTurn = 256;

// The agent's bindings as the engine's list (null when empty or unusable).
netsnmp_variable_list* TrapVariables(const SnmpVarBindList& bindings) {
    netsnmp_variable_list* vars = nullptr;
    for (UINT i = 0; i < bindings.len && bindings.list; ++i) {
        const std::vector<oid> name = FromAsnName(bindings.list[i].name);
        if (name.empty()) continue;
        netsnmp_variable_list* vb =
            snmp_varlist_add_variable(&vars, name.data(), name.size(), ASN_NULL, nullptr, 0);
        if (vb && !PutAsnValue(bindings.list[i].value, vb))
            snmp_set_var_typed_value(vb, ASN_NULL, nullptr, 0);
    }
    return vars;
}

}  // namespace

TrapPump::TrapPump(const std::vector<ExtensionAgent*>& agents, orb::Wakeup* wakeup)
    : wakeup_(wakeup) {
    for (ExtensionAgent* agent : agents) {
        if (!agent->TrapEvent()) continue;
        watches_.push_back(std::make_unique<Watch>());
        watches_.back()->agent = agent;
    }
}

TrapPump::~TrapPump() { Stop(); }

void TrapPump::Start() {
    for (auto& watch : watches_) {
        Watch* w = watch.get();
        w->waiter = orb::Thread([this, w] { Wait(w); });
    }
}

void TrapPump::Stop() {
    stopping_ = true;
    for (auto& watch : watches_) {
        if (!watch->waiter.Joinable()) continue;
        watch->agent->TrapEvent()->Set();  // releases the waiter
        watch->waiter.Join();
    }
}

void TrapPump::Wait(Watch* watch) {
    orb::Event* event = watch->agent->TrapEvent();
    while (!stopping_) {
        event->Wait(INFINITE);
        // A manual-reset event would otherwise release this loop forever;
        // whatever was queued before the reset is fetched by the drain below.
        event->Reset();
        if (stopping_) break;
        watch->signalled = true;
        wakeup_->Signal();
    }
}

void TrapPump::SendPending() {
    for (auto& watch : watches_)
        if (watch->signalled.exchange(false)) Drain(watch->agent);
}

void TrapPump::Drain(ExtensionAgent* agent) {
    for (int sent = 0; sent < kTrapsPerTurn; ++sent) {
        AsnObjectIdentifier enterprise{};
        AsnInteger32 generic = 0, specific = 0;
        AsnTimeticks stamp = 0;
        SnmpVarBindList bindings{};
        if (!agent->Trap(&enterprise, &generic, &specific, &stamp, &bindings)) return;
        // The enterprise stays the agent's (commonly its static root arcs).
        // The trap carries the engine's uptime, which starts with the
        // time-zero reference the agent was given, rather than the agent's stamp.
        std::vector<oid> ent = FromAsnName(enterprise);
        if (ent.empty()) ent.assign(agent->View().begin(), agent->View().end());
        netsnmp_variable_list* vars = TrapVariables(bindings);
        SnmpUtilVarBindListFree(&bindings);
        send_enterprise_trap_vars(generic, specific, ent.data(), static_cast<int>(ent.size()),
                                  vars);
        snmp_free_varbind(vars);
    }
    // More may be waiting: come back after serving what else is due.
    for (auto& watch : watches_)
        if (watch->agent == agent) watch->signalled = true;
    wakeup_->Signal();
}

}  // namespace snmphost
