// The change cache and its checksum.
#include <gtest/gtest.h>

#include <cstring>

#include "backup/vlbrdcst/vlbrdcst.h"
#include "publisher/RecordCache.h"

namespace {

using publisher::CRecordCache;

DiscoveryRecord Record(const char* name, uint8_t lastOctet) {
    DiscoveryRecord r{};
    std::memcpy(r.serverName, name, strnlen(name, sizeof r.serverName));
    r.ownerId = 24;
    r.address[0] = 10;
    r.address[3] = lastOctet;
    return r;
}

TEST(RecordChecksum, KnownValuesWithoutFinalInversion) {
    EXPECT_EQ(publisher::RecordChecksum("abc", 3), 0xCA6598D0u);
    EXPECT_EQ(publisher::RecordChecksum("", 0), 0u);
    // A different last byte of a full record changes the checksum.
    DiscoveryRecord a = Record("SRV", 1), b = Record("SRV", 2);
    EXPECT_NE(publisher::RecordChecksum(&a, sizeof a), publisher::RecordChecksum(&b, sizeof b));
}

TEST(RecordCache, NewThenSameThenChangedAndUpdated) {
    CRecordCache cache;
    DiscoveryRecord first = Record("SRV1", 1), moved = Record("SRV1", 9);
    uint32_t crc = 0;
    EXPECT_EQ(cache.Check("SRV1", &first, sizeof first, &crc), CRecordCache::kUnknown);
    EXPECT_EQ(crc, publisher::RecordChecksum(&first, sizeof first));
    EXPECT_FALSE(cache.Update("SRV1", &first, sizeof first));
    cache.Add(&first, sizeof first);
    EXPECT_EQ(cache.Check("SRV1", &first, sizeof first, nullptr), CRecordCache::kSame);
    EXPECT_EQ(cache.Check("SRV1", &moved, sizeof moved, nullptr), CRecordCache::kChanged);
    EXPECT_TRUE(cache.Update("SRV1", &moved, sizeof moved));
    EXPECT_EQ(cache.Check("SRV1", &moved, sizeof moved, nullptr), CRecordCache::kSame);
    EXPECT_EQ(cache.Count(), 1u);
}

TEST(RecordCache, MatchModesAndAFullNameField) {
    CRecordCache exact, anyCase(CRecordCache::kIgnoreCase);
    DiscoveryRecord r = Record("Srv", 1);
    exact.Add(&r, sizeof r);
    anyCase.Add(&r, sizeof r);
    EXPECT_EQ(exact.Check("SRV", &r, sizeof r, nullptr), CRecordCache::kUnknown);
    EXPECT_EQ(anyCase.Check("SRV", &r, sizeof r, nullptr), CRecordCache::kSame);

    // A name that fills its 16 bytes runs on into the domain field: the
    // entry keeps what fits in its own 32 bytes and still matches.
    DiscoveryRecord full = Record("ABCDEFGHIJKLMNOP", 1);
    std::memcpy(full.domainName, "DOMAIN", 7);
    exact.Add(&full, sizeof full);
    EXPECT_EQ(exact.Check("ABCDEFGHIJKLMNOPDOMAIN", &full, sizeof full, nullptr),
              CRecordCache::kSame);
}

}  // namespace
