// Loading an extension agent and calling its entry points.
#include "snmphost/agent.h"

namespace snmphost {

ExtensionAgent::~ExtensionAgent() {
    // Agents are never unloaded while the process lives (their threads keep
    // running); the library goes with the process, as on Windows.
}

bool ExtensionAgent::Load(const std::string& pathname, std::string* error) {
    pathname_ = pathname;
    module_ = LoadLibraryA(pathname.c_str());
    if (!module_) {
        *error = "cannot load \"" + pathname + "\"";
        return false;
    }
    init_ = reinterpret_cast<PFNSNMPEXTENSIONINIT>(GetProcAddress(module_, "SnmpExtensionInit"));
    query_ = reinterpret_cast<PFNSNMPEXTENSIONQUERY>(GetProcAddress(module_, "SnmpExtensionQuery"));
    trap_ = reinterpret_cast<PFNSNMPEXTENSIONTRAP>(GetProcAddress(module_, "SnmpExtensionTrap"));
    if (!init_ || !query_) {
        *error = "\"" + pathname + "\" lacks SnmpExtensionInit or SnmpExtensionQuery";
        FreeLibrary(module_);
        module_ = nullptr;
        return false;
    }
    return true;
}

bool ExtensionAgent::Init(DWORD timeZeroReference, std::string* error) {
    AsnObjectIdentifier view{};
    BOOL ok = FALSE;
    try {
        ok = init_(timeZeroReference, &trapEvent_, &view);
    } catch (...) {
        ok = FALSE;
    }
    if (!ok) {
        *error = "SnmpExtensionInit of \"" + pathname_ + "\" failed";
        return false;
    }
    if (view.idLength == 0 || !view.ids || view.idLength > SNMP_MAX_OID_LEN) {
        *error = "\"" + pathname_ + "\" handed back no usable view";
        return false;
    }
    view_.assign(view.ids, view.ids + view.idLength);
    return true;
}

bool ExtensionAgent::Query(BYTE requestType, SnmpVarBindList* bindings, AsnInteger32* errorStatus,
                           AsnInteger32* errorIndex) {
    try {
        return query_(requestType, bindings, errorStatus, errorIndex) != FALSE;
    } catch (...) {
        return false;
    }
}

bool ExtensionAgent::Trap(AsnObjectIdentifier* enterprise, AsnInteger32* genericTrap,
                          AsnInteger32* specificTrap, AsnTimeticks* timeStamp,
                          SnmpVarBindList* bindings) {
    if (!trap_) return false;
    try {
        return trap_(enterprise, genericTrap, specificTrap, timeStamp, bindings) != FALSE;
    } catch (...) {
        return false;
    }
}

}  // namespace snmphost
