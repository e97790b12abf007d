// CRecordCache: what a pass has already published, one entry per server name
// with the checksum of its last published discovery record. It lives for one
// pass, so it tells a new server ("+") from one whose record changed ("U") or
// did not ("N") within the same table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>

namespace publisher {

// CRC-32 (reflected, polynomial 0xEDB88320) from 0 and without the final
// inversion, as the cache has always stored it: "abc" gives 0xCA6598D0.
uint32_t RecordChecksum(const void* bytes, size_t length);

class CRecordCache {
public:
    enum Match { kExact, kIgnoreCase };
    enum Check { kSame = 0, kChanged = 1, kUnknown = 2 };

    explicit CRecordCache(Match match = kExact) : match_(match) {}
    // The index points into the list.
    CRecordCache(const CRecordCache&) = delete;
    CRecordCache& operator=(const CRecordCache&) = delete;

    // kSame, kChanged or kUnknown for name; the record's checksum to *checksum
    // when given.
    int Check(const char* name, const void* record, size_t length, uint32_t* checksum) const;
    // New entry at the tail, named by the record's leading server name.
    void Add(const void* record, size_t length);
    // New checksum for name's entry; false when there is none.
    bool Update(const char* name, const void* record, size_t length);
    // Forgets name's entry (a record whose publication failed: the next
    // record of that server is new again); false when there is none.
    bool Remove(const char* name);
    size_t Count() const { return entries_.size(); }

private:
    struct Entry {
        char name[32];
        uint32_t checksum;
    };
    const Entry* Find(const char* name) const;
    // The look-up key of a name: as compared, up to the field's length.
    std::string Key(const char* name) const;

    Match match_;
    std::list<Entry> entries_;
    // First entry of each key, so a pass over n servers costs O(n), not O(n^2).
    std::unordered_map<std::string, Entry*> index_;
};

}  // namespace publisher
