// The engine's handler for an agent's view.
#include "snmphost/dispatch.h"

#include <algorithm>
#include <vector>

#include "snmphost/convert.h"

namespace snmphost {

namespace {

using Requests = std::vector<netsnmp_request_info*>;

struct Context {
    ExtensionAgent* agent;
    netsnmp_agent_request_info* info;
    bool v1;  // SNMPv1 request (AgentX requests are answered in SNMPv2 terms)
};

// One call into the agent with the bindings of these requests.
struct Batch {
    SnmpVarBindList list{};
    AsnInteger32 status = SNMP_ERRORSTATUS_NOERROR;
    AsnInteger32 index = 0;

    ~Batch() { SnmpUtilVarBindListFree(&list); }

    // false: out of memory, or the value of request *bad cannot be handed over.
    bool Build(const Requests& requests, bool withValues, size_t* bad) {
        list.list =
            static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(requests.size() * sizeof(SnmpVarBind)));
        if (!list.list) return false;
        for (size_t i = 0; i < requests.size(); ++i) {
            *bad = i;
            if (!ToAsnBinding(requests[i]->requestvb, withValues, &list.list[i])) return false;
            list.len = static_cast<UINT>(i + 1);
        }
        return true;
    }
    // The 0-based position the agent's error index names (first when out of range).
    size_t Failed(size_t count) const {
        return index >= 1 && static_cast<size_t>(index) <= count ? static_cast<size_t>(index - 1)
                                                                 : 0;
    }
};

Requests Unprocessed(netsnmp_request_info* requests) {
    Requests out;
    for (netsnmp_request_info* r = requests; r; r = r->next)
        if (!r->processed) out.push_back(r);
    return out;
}

void Fail(const Context& c, netsnmp_request_info* r, int status) {
    netsnmp_set_request_error(c.info, r, status);
}

bool InView(const ExtensionAgent& agent, const AsnObjectIdentifier& name) {
    const std::vector<UINT>& view = agent.View();
    if (name.idLength < view.size() || !name.ids) return false;
    for (size_t i = 0; i < view.size(); ++i)
        if (name.ids[i] != view[i]) return false;
    return true;
}

// Calls the agent; false (after failing the first request) when the call
// itself failed.
bool Call(const Context& c, BYTE type, Batch& batch, const Requests& pending) {
    if (c.agent->Query(type, &batch.list, &batch.status, &batch.index)) return true;
    Fail(c, pending.front(), SNMP_ERR_GENERR);
    return false;
}

bool Prepare(const Context& c, Batch& batch, const Requests& pending, bool withValues) {
    size_t bad = 0;
    if (batch.Build(pending, withValues, &bad)) return true;
    Fail(c, pending[bad], withValues ? SNMP_ERR_WRONGTYPE : SNMP_ERR_GENERR);
    return false;
}

void ServeGet(const Context& c, Requests pending) {
    // An SNMPv1 agent knows only noSuchName; for SNMPv2 the binding becomes
    // noSuchObject and the others are asked again without it.
    while (!pending.empty()) {
        Batch batch;
        if (!Prepare(c, batch, pending, false) || !Call(c, SNMP_PDU_GET, batch, pending)) return;
        if (batch.status == SNMP_ERRORSTATUS_NOERROR) {
            for (size_t i = 0; i < pending.size(); ++i)
                if (!PutAsnValue(batch.list.list[i].value, pending[i]->requestvb))
                    Fail(c, pending[i], SNMP_ERR_GENERR);
            return;
        }
        const size_t failed = batch.Failed(pending.size());
        if (batch.status != SNMP_ERRORSTATUS_NOSUCHNAME || c.v1) {
            Fail(c, pending[failed], MapAgentStatus(batch.status, SNMP_PDU_GET, c.v1));
            return;
        }
        Fail(c, pending[failed], SNMP_NOSUCHOBJECT);
        pending.erase(pending.begin() + static_cast<long>(failed));
    }
}

// Answers r with the agent's binding when the agent stayed inside its view
// and moved forward; otherwise r is left alone and the engine goes on past
// the view (endOfMibView, or noSuchName for SNMPv1, when nothing follows).
void TakeNext(const Context& c, netsnmp_request_info* r, const SnmpVarBind& answer) {
    if (answer.name.idLength > MAX_OID_LEN || !InView(*c.agent, answer.name)) return;
    oid name[MAX_OID_LEN];
    const size_t length = answer.name.idLength;
    std::copy(answer.name.ids, answer.name.ids + length, name);
    netsnmp_variable_list* vb = r->requestvb;
    const int order = snmp_oid_compare(name, length, vb->name, vb->name_length);
    if (order < 0 || (order == 0 && !r->inclusive)) return;  // a step back would loop forever
    if (snmp_set_var_objid(vb, name, length) != 0 || !PutAsnValue(answer.value, vb))
        Fail(c, r, SNMP_ERR_GENERR);
}

// An inclusive request (AgentX asks so) may be answered by its own name.
bool AnsweredExactly(const Context& c, netsnmp_request_info* r) {
    Batch batch;
    const Requests one{r};
    size_t bad = 0;
    if (!batch.Build(one, false, &bad) ||
        !c.agent->Query(SNMP_PDU_GET, &batch.list, &batch.status, &batch.index))
        return false;
    const AsnAny& value = batch.list.list[0].value;
    if (batch.status != SNMP_ERRORSTATUS_NOERROR || value.asnType == ASN_NULL ||
        value.asnType >= 0x80)
        return false;
    return PutAsnValue(value, r->requestvb);
}

// A name before the view is asked as the view itself: the agent knows
// nothing outside it.
void StartInView(const Context& c, netsnmp_request_info* r) {
    netsnmp_variable_list* vb = r->requestvb;
    const std::vector<oid> view(c.agent->View().begin(), c.agent->View().end());
    if (snmp_oid_compare(vb->name, vb->name_length, view.data(), view.size()) < 0) {
        snmp_set_var_objid(vb, view.data(), view.size());
        r->inclusive = 0;
    }
}

void ServeGetNext(const Context& c, Requests requests) {
    Requests pending;
    for (netsnmp_request_info* r : requests) {
        StartInView(c, r);
        if (!(r->inclusive && AnsweredExactly(c, r))) pending.push_back(r);
    }
    while (!pending.empty()) {
        Batch batch;
        if (!Prepare(c, batch, pending, false) || !Call(c, SNMP_PDU_GETNEXT, batch, pending))
            return;
        if (batch.status == SNMP_ERRORSTATUS_NOERROR) {
            for (size_t i = 0; i < pending.size(); ++i) TakeNext(c, pending[i], batch.list.list[i]);
            return;
        }
        const size_t failed = batch.Failed(pending.size());
        if (batch.status != SNMP_ERRORSTATUS_NOSUCHNAME) {
            Fail(c, pending[failed], MapAgentStatus(batch.status, SNMP_PDU_GETNEXT, c.v1));
            return;
        }
        // Nothing after that name in this view: the engine moves on for it.
        pending.erase(pending.begin() + static_cast<long>(failed));
    }
}

// The requests of this pass that were answered and have repetitions left,
// each moved on to its next binding, named after the answer. The engine's
// own GETBULK step does the same, but only after a whole pass over its
// registrations for every single repetition.
Requests NextRepetitions(const Requests& answered) {
    Requests next;
    for (netsnmp_request_info* r : answered) {
        netsnmp_variable_list* vb = r->requestvb;
        if (r->status != SNMP_ERR_NOERROR || r->repeat <= 0 || vb->type == ASN_NULL ||
            vb->type == ASN_PRIV_RETRY || !vb->next_variable)
            continue;
        --r->repeat;
        snmp_set_var_objid(vb->next_variable, vb->name, vb->name_length);
        r->requestvb = vb->next_variable;
        r->requestvb->type = ASN_NULL;
        r->inclusive = 0;
        next.push_back(r);
    }
    return next;
}

// GETBULK: all repetitions in one call of the handler. A repetition that
// finds nothing more in the view is left unanswered, and the engine goes on
// with it past the view. Every answer lies in the agent's view, which the
// communities of this service see whole, so the engine's access check of
// the first repetition holds for the others.
void ServeGetBulk(const Context& c, Requests pending) {
    while (!pending.empty()) {
        ServeGetNext(c, pending);
        pending = NextRepetitions(pending);
    }
}

void ServeSet(const Context& c, const Requests& pending) {
    Batch batch;
    if (!Prepare(c, batch, pending, true) || !Call(c, SNMP_PDU_SET, batch, pending)) return;
    if (batch.status != SNMP_ERRORSTATUS_NOERROR)
        Fail(c, pending[batch.Failed(pending.size())],
             MapAgentStatus(batch.status, SNMP_PDU_SET, c.v1));
}

int HandleView(netsnmp_mib_handler*, netsnmp_handler_registration* registration,
               netsnmp_agent_request_info* info, netsnmp_request_info* requests) {
    const Context c{static_cast<ExtensionAgent*>(registration->my_reg_void), info,
                    info->asp && info->asp->pdu && info->asp->pdu->version == SNMP_VERSION_1};
    const Requests pending = Unprocessed(requests);
    if (pending.empty()) return SNMP_ERR_NOERROR;
    switch (info->mode) {
        case MODE_GET:
            ServeGet(c, pending);
            break;
        case MODE_GETNEXT:
            ServeGetNext(c, pending);
            break;
        case MODE_GETBULK:
            ServeGetBulk(c, pending);
            break;
        case MODE_SET_ACTION:
            // The agent checks and applies in one call; ACTION is the first
            // phase that runs only when every binding of the request passed the
            // engine's own checks.
            ServeSet(c, pending);
            break;
        default:
            break;
    }
    return SNMP_ERR_NOERROR;
}

}  // namespace

int MapAgentStatus(int status, BYTE requestType, bool v1Request) {
    if (v1Request) return status;
    switch (status) {
        case SNMP_ERRORSTATUS_NOSUCHNAME:
            return requestType == SNMP_PDU_SET ? SNMP_ERR_NOTWRITABLE : SNMP_ERR_GENERR;
        case SNMP_ERRORSTATUS_BADVALUE:
            return requestType == SNMP_PDU_SET ? SNMP_ERR_WRONGVALUE : SNMP_ERR_GENERR;
        case SNMP_ERRORSTATUS_READONLY:
            return requestType == SNMP_PDU_SET ? SNMP_ERR_NOTWRITABLE : SNMP_ERR_GENERR;
        default:
            return status;
    }
}

bool RegisterAgentView(ExtensionAgent* agent, std::string* error) {
    const std::vector<oid> view(agent->View().begin(), agent->View().end());
    netsnmp_handler_registration* registration = netsnmp_create_handler_registration(
        "snmphost", HandleView, view.data(), view.size(), HANDLER_CAN_RWRITE | HANDLER_CAN_GETBULK);
    if (!registration) {
        *error = "cannot create a handler for \"" + agent->Pathname() + "\"";
        return false;
    }
    registration->my_reg_void = agent;
    if (netsnmp_register_handler(registration) != MIB_REGISTERED_OK) {
        *error = "the view of \"" + agent->Pathname() + "\" is already served";
        return false;
    }
    return true;
}

}  // namespace snmphost
