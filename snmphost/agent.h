// One extension agent: its library, its three entry points and what its
// initialisation handed back. Calls into the agent never let an exception
// out; a throwing agent counts as failing.
#pragma once

#include <string>
#include <vector>

#include "platform/dynload.h"
#include "platform/snmp.h"

namespace snmphost {

class ExtensionAgent {
  public:
    ExtensionAgent() = default;
    ~ExtensionAgent();
    ExtensionAgent(const ExtensionAgent&) = delete;
    ExtensionAgent& operator=(const ExtensionAgent&) = delete;

    // Loads the library and binds "SnmpExtensionInit", "SnmpExtensionQuery"
    // and (optional, as on Windows) "SnmpExtensionTrap". false and *error.
    bool Load(const std::string& pathname, std::string* error);
    // Calls SnmpExtensionInit. false when it answers FALSE or hands back no view.
    bool Init(DWORD timeZeroReference, std::string* error);

    // SnmpExtensionQuery; false when the call failed (FALSE or an exception).
    bool Query(BYTE requestType, SnmpVarBindList* bindings, AsnInteger32* errorStatus,
               AsnInteger32* errorIndex);
    // SnmpExtensionTrap; false when no trap was filled in.
    bool Trap(AsnObjectIdentifier* enterprise, AsnInteger32* genericTrap,
              AsnInteger32* specificTrap, AsnTimeticks* timeStamp, SnmpVarBindList* bindings);

    const std::string& Pathname() const { return pathname_; }
    // The agent's view, copied (the agent keeps its own).
    const std::vector<UINT>& View() const { return view_; }
    // The agent's trap event; null when it has none or cannot send traps.
    HANDLE TrapEvent() const { return trap_ ? trapEvent_ : nullptr; }

  private:
    std::string pathname_;
    HMODULE module_ = nullptr;
    PFNSNMPEXTENSIONINIT init_ = nullptr;
    PFNSNMPEXTENSIONQUERY query_ = nullptr;
    PFNSNMPEXTENSIONTRAP trap_ = nullptr;
    std::vector<UINT> view_;
    HANDLE trapEvent_ = nullptr;
};

}  // namespace snmphost
