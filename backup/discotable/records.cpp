// Filling the fixed records from a table line.
#include "backup/discotable/records.h"

#include <algorithm>
#include <cstring>

namespace disco {
namespace {

template <size_t N>
void CopyField(char (&field)[N], const std::string& text) {
    size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    std::memset(field + n, 0, N - n);
}

}  // namespace

void FillRecord(const Server& server, DiscoveryRecord* record) {
    std::memset(record, 0, sizeof(*record));
    CopyField(record->serverName, server.name);
    CopyField(record->domainName, server.domain);
    record->release = server.release;
    record->ownerId = server.owner;
    std::copy(server.address.begin(), server.address.end(), record->address);
}

void FillProductInfo(const Server& server, ProductInfo* info) {
    std::memset(info, 0, sizeof(*info));
    info->size = sizeof(ProductInfo);
    info->ownerId = server.owner;
    info->productCount = static_cast<uint32_t>(server.products.size());
    CopyField(info->serverName, server.name);
    info->release = server.release;
    size_t n = std::min(server.products.size(), std::size(info->products));
    std::copy_n(server.products.begin(), n, info->products);
}

std::string FieldText(const char* field, size_t size) {
    return std::string(field, strnlen(field, size));
}

}  // namespace disco
