// The change cache and its checksum.
#include "publisher/RecordCache.h"

#include <array>
#include <cctype>
#include <cstring>

namespace publisher {
namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t RecordChecksum(const void* bytes, size_t length) {
    const auto* p = static_cast<const unsigned char*>(bytes);
    uint32_t crc = 0;
    for (size_t i = 0; i < length; ++i) crc = kTable[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc;
}

std::string CRecordCache::Key(const char* name) const {
    std::string key(name, strnlen(name, sizeof(Entry::name)));
    if (match_ == kIgnoreCase) {
        for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

const CRecordCache::Entry* CRecordCache::Find(const char* name) const {
    auto it = index_.find(Key(name));
    return it == index_.end() ? nullptr : it->second;
}

int CRecordCache::Check(const char* name, const void* record, size_t length,
                        uint32_t* checksum) const {
    uint32_t crc = RecordChecksum(record, length);
    if (checksum != nullptr) *checksum = crc;
    const Entry* entry = Find(name);
    if (entry == nullptr) return kUnknown;
    return entry->checksum == crc ? kSame : kChanged;
}

void CRecordCache::Add(const void* record, size_t length) {
    Entry entry{};
    // The record starts with its server name; it may fill its field unterminated.
    size_t n = strnlen(static_cast<const char*>(record), length < sizeof entry.name - 1
                                                              ? length
                                                              : sizeof entry.name - 1);
    std::memcpy(entry.name, record, n);
    entry.checksum = RecordChecksum(record, length);
    entries_.push_back(entry);
    index_.emplace(Key(entries_.back().name), &entries_.back());
}

bool CRecordCache::Update(const char* name, const void* record, size_t length) {
    auto* entry = const_cast<Entry*>(Find(name));
    if (entry == nullptr) return false;
    entry->checksum = RecordChecksum(record, length);
    return true;
}

bool CRecordCache::Remove(const char* name) {
    auto it = index_.find(Key(name));
    if (it == index_.end()) return false;
    const Entry* entry = it->second;
    index_.erase(it);
    entries_.remove_if([entry](const Entry& e) { return &e == entry; });
    return true;
}

}  // namespace publisher
