// Where the service's notifications go. Traps (SNMPv1, SNMPv2c, SNMPv3) are
// the engine's own trap sinks, so that every notification the engine sends
// (the agents' traps, authenticationFailure) reaches them, translated to
// SNMPv2 by the engine where the destination asks for it. Informs (SNMPv2c,
// SNMPv3) are sent from the engine's notification hook on sessions of their
// own instead: the engine says nothing about an inform nobody answered, and
// this service logs it. Everything here runs on the SNMP thread.
//
// SNMPv3: a trap is sent with the engine's own ID as the authoritative one,
// so the user's keys the engine already localized for serving it are used.
// An inform's authoritative engine is the receiver, whose ID the engine
// discovers; the keys are localized for it from the user's passphrase keys
// (Ku), derived at Open and kept only inside that destination's session.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "snmphost/config.h"

struct snmp_session;
struct snmp_pdu;

namespace snmphost {

// Informs sent and not yet answered or given up, per destination: beyond
// this an absent manager would hold every later notification's memory.
inline constexpr unsigned kMaxWaitingInforms = 100;

class Notifications {
  public:
    Notifications() = default;
    Notifications(const Notifications&) = delete;
    Notifications& operator=(const Notifications&) = delete;

    // After the engine started and made its SNMPv3 users, while usm still
    // holds their passphrases: opens each destination (logging those it
    // cannot). Once.
    void Open(const std::vector<TrapDestination>& destinations, const UsmConfig& usm);
    // Before the engine stops (which would free what the hook was given):
    // ends the informs still waiting.
    void Close();

  private:
    struct Inform {
        TrapDestination destination;
        snmp_session* session = nullptr;
        unsigned waiting = 0;
        bool full = false;  // the log line for a full queue is written once
        bool closing = false;
        // SNMPv3, until the receiver's engine ID is known: the informs
        // waiting for it (counted in waiting) and whether it is being asked.
        std::vector<snmp_pdu*> held;
        bool probing = false;
    };

    bool OpenInform(const TrapDestination& destination, const UsmUser* user);
    void SendInforms(const snmp_pdu* notification);
    static void Send(Inform* inform, snmp_pdu* pdu);
    static void Probe(Inform* inform);
    // The held informs end unanswered (the receiver never told its engine
    // ID) or failed.
    static void DropHeld(Inform* inform, bool unanswered);
    // One inform ended as the engine's callback operation says.
    static void Ended(Inform* inform, int operation);
    static int OnNotification(int major, int minor, void* notification, void* self);
    static int OnProbeAnswer(int operation, snmp_session* session, int requestId,
                             snmp_pdu* answer, void* inform);
    static int OnAnswer(int operation, snmp_session* session, int requestId, snmp_pdu* answer,
                        void* inform);

    std::vector<std::unique_ptr<Inform>> informs_;
};

}  // namespace snmphost
