// Opening the notification destinations and sending informs.
#include "snmphost/notify.h"

#include <cstring>

#include "snmphost/engine.h"
#include "snmphost/netsnmp.h"

// After the engine's main headers, which they need.
#include <net-snmp/agent/agent_callbacks.h>
#include <net-snmp/library/transform_oids.h>

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

const UsmUser* FindUser(const UsmConfig& usm, const std::string& name) {
    for (const UsmUser& user : usm.users)
        if (user.name == name) return &user;
    return nullptr;
}

// The engine's protocol OIDs all have this length.
constexpr size_t kProtocolOidLength = OID_LENGTH(usmAESPrivProtocol);

// The engine's own OIDs for the protocol words of UsmUser.
oid* AuthProtocolOid(const std::string& word) {
    if (word == "SHA") return usmHMACSHA1AuthProtocol;
    if (word == "SHA-512") return usmHMAC384SHA512AuthProtocol;
    return usmHMAC192SHA256AuthProtocol;
}

int EngineLevel(SecurityLevel level) {
    switch (level) {
        case SecurityLevel::kNoAuthNoPriv:
            return SNMP_SEC_LEVEL_NOAUTH;
        case SecurityLevel::kAuthNoPriv:
            return SNMP_SEC_LEVEL_AUTHNOPRIV;
        default:
            return SNMP_SEC_LEVEL_AUTHPRIV;
    }
}

// A passphrase's key (Ku) into one of the session's key buffers; the engine
// localizes it for the engine it discovers.
bool PassphraseKey(const oid* hash, const std::string& passphrase, u_char* key, size_t* length) {
    *length = USM_AUTH_KU_LEN;
    return generate_Ku(hash, kProtocolOidLength,
                       reinterpret_cast<const u_char*>(passphrase.data()), passphrase.size(), key,
                       length) == SNMPERR_SUCCESS;
}

// SNMPv3 settings for the user at its own level; with keys (informs) the
// user's Ku as well.
bool SetUpUser(const UsmUser& user, bool withKeys, netsnmp_session* settings) {
    settings->version = SNMP_VERSION_3;
    settings->securityModel = SNMP_SEC_MODEL_USM;
    settings->securityName = const_cast<char*>(user.name.c_str());
    settings->securityNameLen = user.name.size();
    settings->securityLevel = EngineLevel(user.level);
    if (user.level == SecurityLevel::kNoAuthNoPriv) return true;
    settings->securityAuthProto = AuthProtocolOid(user.authProtocol);
    settings->securityAuthProtoLen = kProtocolOidLength;
    if (user.level == SecurityLevel::kAuthPriv) {
        settings->securityPrivProto = usmAESPrivProtocol;
        settings->securityPrivProtoLen = kProtocolOidLength;
    }
    if (!withKeys) return true;
    if (!PassphraseKey(settings->securityAuthProto, user.authPassphrase,
                       settings->securityAuthKey, &settings->securityAuthKeyLen))
        return false;
    return user.level != SecurityLevel::kAuthPriv ||
           PassphraseKey(settings->securityAuthProto, user.privPassphrase,
                         settings->securityPrivKey, &settings->securityPrivKeyLen);
}

void ForgetKeys(netsnmp_session* settings) {
    volatile u_char* auth = settings->securityAuthKey;
    volatile u_char* priv = settings->securityPrivKey;
    for (size_t i = 0; i < USM_AUTH_KU_LEN; ++i) auth[i] = 0;
    for (size_t i = 0; i < USM_PRIV_KU_LEN; ++i) priv[i] = 0;
}

// A session of its own towards the destination, or null.
netsnmp_session* OpenSession(const std::string& address, netsnmp_session* settings) {
    netsnmp_transport* transport =
        netsnmp_tdomain_transport_full("snmptrap", address.c_str(), 0, nullptr, nullptr);
    if (!transport) return nullptr;
    return snmp_add(settings, transport, nullptr, nullptr);  // closes the transport on failure
}

// An SNMPv3 trap sink: the engine's own ID is the authoritative one, so the
// user the engine serves (keys localized to that ID) signs and encrypts it,
// and there is nothing to discover.
bool AddV3TrapSink(const TrapDestination& d, const UsmUser& user) {
    netsnmp_session settings;
    snmp_sess_init(&settings);
    if (!SetUpUser(user, false, &settings)) return false;
    u_char id[SNMP_MAX_ENG_SIZE];
    settings.securityEngineIDLen = snmpv3_get_engineID(id, sizeof id);
    settings.securityEngineID = id;
    settings.flags |= SNMP_FLAGS_DONT_PROBE;
    netsnmp_session* session = OpenSession(d.address, &settings);
    if (!session) return false;
    if (add_trap_session(session, SNMP_MSG_TRAP2, 0, SNMP_VERSION_3)) return true;
    snmp_close(session);
    return false;
}

}  // namespace

void Notifications::Open(const std::vector<TrapDestination>& destinations,
                         const UsmConfig& usm) {
    for (const TrapDestination& d : destinations) {
        const UsmUser* user = d.version == 3 ? FindUser(usm, d.user) : nullptr;
        if (d.version == 3 && !user) {
            Log(LOG_WARNING, "trap destination \"" + d.address + "\" skipped: SNMPv3 user \"" +
                                 d.user + "\" is not served");
            continue;
        }
        const bool opened = d.inform ? OpenInform(d, user)
                            : user   ? AddV3TrapSink(d, *user)
                                     : AddTrapSink(d);
        if (!opened) Log(LOG_WARNING, "cannot send traps to \"" + d.address + "\"");
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
        for (snmp_pdu* pdu : inform->held) snmp_free_pdu(pdu);
        snmp_close(inform->session);
    }
    informs_.clear();
}

// user: the SNMPv3 user, null for SNMPv2c.
bool Notifications::OpenInform(const TrapDestination& d, const UsmUser* user) {
    netsnmp_session settings;
    snmp_sess_init(&settings);
    settings.retries = static_cast<int>(d.retries);
    settings.timeout = static_cast<long>(d.timeoutMs) * 1000;  // microseconds
    netsnmp_session* session = nullptr;
    if (user) {
        // The engine's own discovery waits for the receiver on this thread,
        // holding every request meanwhile; SendInforms discovers instead.
        settings.flags |= SNMP_FLAGS_DONT_PROBE;
        if (SetUpUser(*user, true, &settings)) session = OpenSession(d.address, &settings);
        ForgetKeys(&settings);
        if (session) session->flags |= SNMP_FLAGS_DONT_PROBE;  // opening cleared it
    } else {
        settings.version = SNMP_VERSION_2c;
        settings.community = reinterpret_cast<u_char*>(const_cast<char*>(d.community.c_str()));
        settings.community_len = d.community.size();
        session = OpenSession(d.address, &settings);
    }
    if (!session) return false;
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
        if (inform->waiting >= kMaxWaitingInforms) {
            if (!inform->full)
                Log(LOG_WARNING, "informs to \"" + inform->destination.address +
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
        ++inform->waiting;
        if (inform->session->version == SNMP_VERSION_3 &&
            inform->session->securityEngineIDLen == 0) {
            inform->held.push_back(pdu);  // until the receiver's engine ID is known
            if (!inform->probing) Probe(inform.get());
        } else {
            Send(inform.get(), pdu);
        }
    }
}

void Notifications::Send(Inform* inform, snmp_pdu* pdu) {
    pdu->reqid = snmp_get_next_reqid();
    if (snmp_async_send(inform->session, pdu, &Notifications::OnAnswer, inform) != 0) return;
    Log(LOG_WARNING, "cannot send an inform to \"" + inform->destination.address +
                         "\": " + snmp_api_errstring(inform->session->s_snmp_errno));
    snmp_free_pdu(pdu);
    --inform->waiting;
}

// The discovery message (RFC 3414 4): unauthenticated, no user, no engine
// ID; the receiver reports its engine ID, boots and time. It is resent and
// given up like the informs it holds.
void Notifications::Probe(Inform* inform) {
    netsnmp_pdu* probe = snmp_pdu_create(SNMP_MSG_GET);
    probe->version = SNMP_VERSION_3;
    probe->securityModel = SNMP_SEC_MODEL_USM;
    probe->securityLevel = SNMP_SEC_LEVEL_NOAUTH;
    probe->securityName = strdup("");
    probe->securityNameLen = 0;
    if (snmp_async_send(inform->session, probe, &Notifications::OnProbeAnswer, inform) != 0) {
        inform->probing = true;
        return;
    }
    Log(LOG_WARNING, "cannot send an inform to \"" + inform->destination.address +
                         "\": " + snmp_api_errstring(inform->session->s_snmp_errno));
    snmp_free_pdu(probe);
    DropHeld(inform, false);
}

int Notifications::OnProbeAnswer(int operation, snmp_session* session, int, snmp_pdu* answer,
                                 void* data) {
    if (operation == NETSNMP_CALLBACK_OP_RESEND || operation == NETSNMP_CALLBACK_OP_CONNECT)
        return 1;  // still waiting
    auto* inform = static_cast<Inform*>(data);
    if (inform->closing) return 1;
    inform->probing = false;
    // The report comes as a security error (it is one to the engine), then
    // once more as an answer.
    const bool reported = operation == NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE ||
                          operation == NETSNMP_CALLBACK_OP_SEC_ERROR;
    if (reported && answer && answer->securityEngineIDLen > 0 &&
        session->securityEngineIDLen == 0) {
        session->securityEngineID =
            static_cast<u_char*>(netsnmp_memdup(answer->securityEngineID,
                                                answer->securityEngineIDLen));
        session->securityEngineIDLen = session->securityEngineID ? answer->securityEngineIDLen : 0;
    }
    // The user's keys, localized for that engine, join the engine's user table.
    if (session->securityEngineIDLen == 0 ||
        usm_create_user_from_session(session) != SNMPERR_SUCCESS) {
        DropHeld(inform, operation == NETSNMP_CALLBACK_OP_TIMED_OUT);
        return 1;
    }
    std::vector<snmp_pdu*> held;
    held.swap(inform->held);
    for (snmp_pdu* pdu : held) Send(inform, pdu);
    return 1;
}

void Notifications::DropHeld(Inform* inform, bool unanswered) {
    for (snmp_pdu* pdu : inform->held) {
        snmp_free_pdu(pdu);
        Ended(inform, unanswered ? NETSNMP_CALLBACK_OP_TIMED_OUT : NETSNMP_CALLBACK_OP_SEND_FAILED);
    }
    inform->held.clear();
}

int Notifications::OnAnswer(int operation, snmp_session*, int, snmp_pdu*, void* data) {
    // A report (SNMPv3) comes first as a security error; the request stays
    // until it is answered or given up.
    if (operation == NETSNMP_CALLBACK_OP_RESEND || operation == NETSNMP_CALLBACK_OP_CONNECT ||
        operation == NETSNMP_CALLBACK_OP_SEC_ERROR)
        return 1;  // still waiting
    auto* inform = static_cast<Inform*>(data);
    if (!inform->closing) Ended(inform, operation);
    return 1;
}

void Notifications::Ended(Inform* inform, int operation) {
    if (inform->waiting > 0) --inform->waiting;
    inform->full = false;
    if (operation == NETSNMP_CALLBACK_OP_TIMED_OUT)
        Log(LOG_WARNING, "inform to \"" + inform->destination.address + "\" unanswered after " +
                             std::to_string(inform->destination.retries) + " resend(s): given up");
    else if (operation != NETSNMP_CALLBACK_OP_RECEIVED_MESSAGE)
        Log(LOG_WARNING, "inform to \"" + inform->destination.address + "\" failed");
}

}  // namespace snmphost
