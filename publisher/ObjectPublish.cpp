// Object publishing through the KestOrb binding.
#include "publisher/ObjectPublish.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>

#include "kestorb/KestCodes.h"
#include "publisher/MachineLookup.h"
#include "publisher/PublisherLog.h"

namespace publisher {
namespace {

constexpr uint32_t kUnixOwner = 85;
constexpr size_t kHostBufferSize = 255;

constexpr const char* kUnixClasses[] = {
    "Unclassified_TCP", "HPServer", "HPUnix",      "Solaris",     "SCOUnix",   "SunOS",
    "SUN",              "CalderaLinux", "RedhatLinux", "SuSELinux", "TruboLinux", "Unix",
};
constexpr const char* kWindowsClasses[] = {
    "Windows",        "WindowsNT",       "WindowsNT_Server",        "Windows2000",
    "Windows2000_Server", "WindowsXP",   "Windows_NetServer",       "DellServer_NT",
    "DellServer_W2K", "Compaq_WindowsNT_Server", "Compaq_Windows2000_Server",
    "Unclassified_TCP",
};

struct ProductType {
    const char* cls;
    const char* view;
};
constexpr ProductType kProductTypes[] = {
    {"Vaultline", "Vaultline View"},
    {"LumoraVB", "Lumora Vaultline Backup"},
};

std::string ServerName(const DiscoveryRecord& record) {
    return std::string(record.serverName, strnlen(record.serverName, sizeof record.serverName));
}

std::string AddressText(const DiscoveryRecord& record) {
    char text[16];
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", record.address[0], record.address[1],
                  record.address[2], record.address[3]);
    return text;
}

// The name forms in the order they are tried; the DNS name only when found.
struct NameForms {
    std::string forms[4];
    int count = 0;
};

NameForms MakeNameForms(const CPublisherWorker& worker, const DiscoveryRecord& record) {
    NameForms names;
    names.forms[0] = ServerName(record);
    names.forms[1] = LowerCase(names.forms[0]);
    names.forms[2] = AddressText(record);
    char lower[kHostBufferSize] = {};
    char dns[kHostBufferSize] = {};
    GetHostInfo(worker, record, lower, sizeof lower, dns, sizeof dns);
    names.count = dns[0] != '\0' ? 4 : 3;
    names.forms[3] = dns;
    return names;
}

// Calls attempt with a machine record for every class and name form while it
// answers that the machine is not there; its first other answer (0 or a
// failure) ends the walk. A name too long for the record is skipped: cut, it
// could name another machine.
int32_t WalkMachines(const CPublisherWorker& worker, const DiscoveryRecord& record,
                     const std::function<int32_t(const KestMachineRecord&)>& attempt) {
    NameForms names = MakeNameForms(worker, record);
    bool unix = record.ownerId == kUnixOwner;
    for (const char* cls : unix ? kUnixClasses : kWindowsClasses) {
        for (int i = 0; i < names.count; ++i) {
            KestMachineRecord machine;
            if (!MakeMachineRecord(cls, names.forms[i], &machine)) continue;
            const int32_t rc = attempt(machine);
            if (!MachineWalkGoesOn(rc)) return rc;
        }
    }
    return ORBOM_RC_NO_MATCH;
}

}  // namespace

void GetHostInfo(const CPublisherWorker& worker, const DiscoveryRecord& record, char* lower,
                 size_t lowerSize, char* dnsName, size_t dnsSize) {
    if (lowerSize > 0) lower[0] = '\0';
    if (dnsSize > 0) dnsName[0] = '\0';
    if (worker.winsockResult != 0 || lowerSize == 0) return;
    std::string name = LowerCase(ServerName(record));
    std::snprintf(lower, lowerSize, "%s", name.c_str());
    const std::string resolved = ReverseResolvedName(name);
    if (dnsSize > 0) std::snprintf(dnsName, dnsSize, "%s", resolved.c_str());
}

int32_t FindVLObject(CPublisherWorker& worker, const char* cls, const DiscoveryRecord& record,
                     UUID* uuid, int32_t* count) {
    WriteLogF("\tORB_GetVLObject() --ClassName:%s\tMachineName:%s\tIP:%s\t", cls,
              LowerCase(ServerName(record)).c_str(), AddressText(record).c_str());
    *count = 0;
    int32_t rc = WalkMachines(worker, record, [&](const KestMachineRecord& machine) {
        return worker.binding.GetObjectUUID(cls, &machine, count, uuid);
    });
    if (rc == ORBOM_RC_NO_MATCH) {
        rc = 0;
        *count = 0;
    }
    worker.lastResult = rc;
    return rc;
}

int32_t ORB_AddVLObject(CPublisherWorker& worker, const char* cls,
                        const DiscoveryRecord& record, UUID* uuid) {
    std::string lower = LowerCase(ServerName(record));
    WriteLogF("\tORB_AddVLObject() --ClassName:%s\tServerName:%s\tIP:%s", cls, lower.c_str(),
              AddressText(record).c_str());
    WriteLogF("\tGetHostInfo() --%s", worker.winsockResult == 0 ? lower.c_str() : "");
    std::string name = ServerName(record);
    int32_t rc = WalkMachines(worker, record, [&](const KestMachineRecord& machine) {
        return worker.binding.AddObject(&machine, cls, name.c_str(), uuid);
    });
    WriteLogF("\tORB_AddVLObject() %s<%d>", KestCodeName(rc), rc);
    worker.lastResult = rc;
    return rc;
}

namespace {

// Opens the object, writes its three properties, saves and closes it.
int32_t WriteProperties(CPublisherWorker& worker, const ProductType& product,
                        const DiscoveryRecord& record, const UUID& uuid) {
    CKestBinding& kest = worker.binding;
    // The object is opened and written whatever the link answered; a link
    // that failed still fails the record, or the object would stay out of
    // its view until the view is rebuilt.
    const int32_t linked = kest.BPVAddObject(product.view, product.cls, &uuid);
    int32_t rc = kest.OpenObject(product.cls, &uuid);
    WriteLogF("\tKestBPVAddObject() -- View:%s\tClass:%s\tUUID=%u\tResult - <%u>", product.view,
              product.cls, static_cast<unsigned>(uuid.Data1), static_cast<unsigned>(rc));
    if (rc != 0) return rc;
    std::string domain(record.domainName, strnlen(record.domainName, sizeof record.domainName));
    std::string address = AddressText(record);
    int32_t sum = kest.SetPropString("DomainName", domain.c_str(), 0) +
                  kest.SetPropString("ServerName", ServerName(record).c_str(), 0) +
                  kest.SetPropString("address", address.c_str(), 0);
    WriteLogF("\tKestSetPropString() -- %s\tResult - %s<%d>", address.c_str(), KestCodeName(sum),
              sum);
    int32_t saved = sum == 0 ? kest.SaveObject() : 0;
    int32_t closed = kest.CloseObject(0);
    if (sum != 0) return sum;
    if (saved != 0) return saved;
    return closed != 0 ? closed : linked;
}

}  // namespace

int32_t ORB_GetVLObject(CPublisherWorker& worker, const DiscoveryRecord& record, int type) {
    const ProductType& product = kProductTypes[type == 0 ? 0 : 1];
    UUID uuid{};
    int32_t count = 0;
    int32_t rc = FindVLObject(worker, product.cls, record, &uuid, &count);
    if (rc == 0 && count == 1) rc = worker.binding.DeleteObject_U(product.cls, &uuid);
    if (rc == 0 && count > 1) rc = KESTORB_ERR_NOT_UNIQUE;
    if (rc == 0) {
        rc = FindVLObject(worker, product.cls, record, &uuid, &count);
        if (rc != 0) WriteLogF("\tORB_GetVLObject-1() -- %s<%d>", KestCodeName(rc), rc);
    }
    if (rc == 0) {
        WriteLogF("\tORB_GetVLObject() -- %s\tUUID=%u\tnCount=%u", product.cls,
                  static_cast<unsigned>(uuid.Data1), static_cast<unsigned>(count));
        if (count == 0) {
            rc = ORB_AddVLObject(worker, product.cls, record, &uuid);
            if (rc != 0) WriteLogF("\tORB_GetVLObject-2() -- %s<%d>", KestCodeName(rc), rc);
        }
    }
    if (rc == 0) rc = WriteProperties(worker, product, record, uuid);
    worker.lastResult = rc;
    return rc;
}

}  // namespace publisher
