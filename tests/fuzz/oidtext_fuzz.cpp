// Fuzzes the OID text parser: any text is either refused with an empty OID or
// parsed into arcs that print back to the same OID.
// fuzz-sources: platform/snmp/*.cpp platform/lasterror.cpp
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/snmp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);  // adds the terminator
    AsnObjectIdentifier oid{};
    if (!SnmpMgrStrToOid(text.c_str(), &oid)) {
        if (oid.idLength != 0 || oid.ids != nullptr) abort();
        return 0;
    }
    if (oid.idLength == 0 || oid.idLength > SNMP_MAX_OID_LEN) abort();
    AsnObjectIdentifier again{};
    if (!SnmpMgrStrToOid(orb::OidToText(oid).c_str(), &again)) abort();
    if (SnmpUtilOidCmp(&oid, &again) != 0) abort();
    if (orb::OidToText(oid, false) != SnmpUtilOidToA(&oid)) abort();
    SnmpUtilOidFree(&again);
    SnmpUtilOidFree(&oid);
    return 0;
}
