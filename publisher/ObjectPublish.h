// Publishing one discovery record: exactly one fresh backup object of the
// product's class beneath the machine object of the server's host, in the
// product's view, with "DomainName", "ServerName" and "address" set. The
// machine object is looked for under every class of a machine class list
// and under four forms of the host's name.
#pragma once

#include <cstddef>
#include <cstdint>

#include "backup/vlbrdcst/vlbrdcst.h"
#include "platform/uuid.h"
#include "publisher/PublisherWorker.h"

namespace publisher {

// type 0: "Vaultline" in "Vaultline View"; 1: "LumoraVB" in "Lumora Vaultline Backup".
int32_t ORB_GetVLObject(CPublisherWorker& worker, const DiscoveryRecord& record, int type);
// The backup object of cls under the server's machine; count 0 when none.
int32_t FindVLObject(CPublisherWorker& worker, const char* cls, const DiscoveryRecord& record,
                     UUID* uuid, int32_t* count);
// Creates the backup object under the first machine object found.
int32_t ORB_AddVLObject(CPublisherWorker& worker, const char* cls,
                        const DiscoveryRecord& record, UUID* uuid);
// Lower-case server name and the DNS name of its address (both empty when
// host look-ups are not available, the DNS name when reverse look-up fails).
void GetHostInfo(const CPublisherWorker& worker, const DiscoveryRecord& record, char* lower,
                 size_t lowerSize, char* dnsName, size_t dnsSize);

}  // namespace publisher
