// Opening the notification destinations and sending informs.
#include "snmphost/notify.h"

#include <net-snmp/agent/agent_callbacks.h>

#include "snmphost/engine.h"
#include "snmphost/netsnmp.h"

namespace snmphost {

namespace {

// The port goes inside the address text: a separate port argument is
// mishandled by this engine version.
bool AddTrapSink(const TrapDestination& d) {
    return create_trap_session(const_cast<char*>(d.address.c_str()), 0,
                               const_cast<char*>(d.community.c_str()),
                               d.version == 1 ? SNMP_VERSION_1 : SNMP_VERSION_2c,
                               d.version == 1 ? SNMP_MSG_TRAP : SNMP_MSG_TRAP2) != 0;
}

}  // namespace

void Notifications::Open(const std::vector<TrapDestination>& destinations) {
    for (const TrapDestination& d : destinations) {
        if (d.version == 3) {
            Log(LOG_WARNING, "SNMPv3 notifications are not sent yet: \"" + d.address +
                                 "\" (user \"" + d.user + "\") gets none");
            continue;
        }
        if (!(d.inform ? OpenInform(d) : AddTrapSink(d)))
            Log(LOG_WARNING, "cannot send traps to \"" + d.address + "\"");
    }
    if (!informs_.empty())
        snmp_register_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_SEND_TRAP2,
                               &Notifications::OnNotification, this);
}

void Notifications::Close() {
    if (informs_.empty()) return;
    snmp_unregister_callback(SNMP_CALLBACK_APPLICATION, SNMPD_CALLBACK_SEND_TRAP2,
                             &Notifications::OnNotification, this, 1);
    for (auto& inform : informs_) {
        if (inform->waiting > 0)
            Log(LOG_WARNING, "informs to \"" + inform->destination.address +
                                 "\": " + std::to_string(inform->waiting) + " unanswered at stop");
        inform->closing = true;  // closing ends each waiting one as timed out
        snmp_close(inform->session);
    }
    informs_.clear();
}

bool Notifications::OpenInform(const TrapDestination& d) {
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.version = SNMP_VERSION_2c;
    settings.community = reinterpret_cast<u_char*>(const_cast<char*>(d.community.c_str()));
    settings.community_len = d.community.size();
    settings.retries = static_cast<int>(d.retries);
    settings.timeout = static_cast<long>(d.timeoutMs) * 1000;  // microseconds
    netsnmp_transport* transport =
        netsnmp_tdomain_transport_full("snmptrap", d.address.c_str(), 0, nullptr, nullptr);
    if (!transport) return false;
    netsnmp_session* session = snmp_add(&settings, transport, nullptr, nullptr);
    if (!session) return false;  // snmp_add closed the transport
    informs_.push_back(std::make_unique<Inform>());
    informs_.back()->destination = d;
    informs_.back()->session = session;
    return true;
}

// The engine calls this with the SNMPv2 form of every notification it sends
// (the agents' traps already translated), after its own sinks had theirs.
int Notifications::OnNotification(int, int, void* notification, void* self) {
    static_cast<Notifications*>(self)->SendInforms(static_cast<const netsnmp_pdu*>(notification));
    return SNMP_ERR_NOERROR;
}

void Notifications::SendInforms(const snmp_pdu* notification) {
    for (auto& inform : informs_) {
        const std::string& address = inform->destination.address;
        if (inform->waiting >= kMaxWaitingInforms) {
            if (!inform->full)
                Log(LOG_WARNING, "informs to \"" + address +
                                     "\": " + std::to_string(inform->waiting) +
                                     " wait for an answer; later ones are dropped until one ends");
            inform->full = true;
            continue;
        }
        netsnmp_pdu* pdu = snmp_clone_pdu(const_cast<netsnmp_pdu*>(notification));
        if (!pdu) continue;
        // The engine's sinks left their own command and version in the template.
        pdu->command = SNMP_MSG_INFORM;
        pdu->version = inform->session->version;
        pdu->reqid = snmp_get_next_reqid();
        if (snmp_async_send(inform->session, pdu, &Notifications::OnAnswer, inform.get()) == 0) {
            Log(LOG_WARNING, "cannot send an inform to \"" + address +
                                 "\": " + snmp_api_errstring(inform->session->s_snmp_errno));
            snmp_free_pdu(pdu);
            continue;
        }
        ++inform->waiting;
    }
}

int Notifications::OnAnswer(int operation, snmp_session*, int, snmp_pdu*, void* data) {
    if (operation == NETSNMP_CALLBACK_OP_RESEND || operation == NETSNMP_CALLBACK_OP_CONNECT)
        return 1;  // still waiting
    auto* inform = static_cast<Inform*>(data);
    if (inform->closing) return 1;
    if (inform->waiting > 0) --inform->waiting;
    inform->full = false;
    if (operation == NETSNMP_CALLBACK_OP_TIMED_OUT)
        Log(LOG_WARNING, "inform to \"" + inform->destination.address + "\" unanswered after " +
                             std::to_string(inform->destination.retries) + " resend(s): given up");
    else if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE)
        Log(LOG_WARNING, "inform to \"" + inform->destination.address + "\" failed");
    return 1;
}

}  // namespace snmphost
