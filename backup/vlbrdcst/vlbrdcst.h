// The backup product's discovery library: the discovery table read as
// fixed records, one for every backup server that announced itself.
//
// Conventions:
//  1. Every function returns a 32-bit code: 0 success, otherwise a Win32
//     error code (VLB_NO_MORE_RECORDS when a read is past the last record).
//  2. A table handle is a 32-bit number naming a snapshot of the table taken
//     when it was opened: records keep their indexes, in the order of the
//     table's lines, until the handle is closed, whatever is announced or
//     removed meanwhile. Handles are never pointers; a closed or unknown
//     handle answers VLB_INVALID_HANDLE.
//  3. The caller owns every record and buffer; the library fills them during
//     the call and keeps nothing. Text fields are always zero-terminated.
//  4. Output pointers must not be null (VLB_INVALID_PARAMETER).
//  5. Any thread may call any function; nothing throws.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define VLB_OK 0
#define VLB_FILE_NOT_FOUND 2  // no discovery table on this machine
#define VLB_INVALID_HANDLE 6
#define VLB_INVALID_PARAMETER 87
#define VLB_NO_MORE_RECORDS 259  // ERROR_NO_MORE_ITEMS
#define VLB_CANT_READ 1012       // the table exists but cannot be read

// Product id a server of the backup product announces itself with.
#define VLB_PRODUCT_VAULTLINE 65

// One announcement, 44 bytes.
typedef struct DiscoveryRecord {
    char serverName[16];  // zero-terminated, at most 15 characters
    char domainName[16];  // zero-terminated, at most 15 characters
    uint32_t release;     // the announced product release (also in ProductInfo)
    uint32_t ownerId;     // which kind of backup server announced itself
    uint8_t address[4];   // IPv4 address, first octet first
} DiscoveryRecord;

// What the announcing server runs, 72 bytes.
typedef struct ProductInfo {
    uint32_t size;  // 72
    uint32_t ownerId;
    uint32_t productCount;  // products announced; only the first 10 are in products
    char serverName[16];    // zero-terminated
    uint8_t reserved;
    uint8_t release;  // product release of the backup server
    uint16_t reserved2;
    uint32_t products[10];  // product ids, unused entries 0
} ProductInfo;

#ifdef __cplusplus
static_assert(sizeof(DiscoveryRecord) == 44);
static_assert(offsetof(DiscoveryRecord, domainName) == 16);
static_assert(offsetof(DiscoveryRecord, ownerId) == 36);
static_assert(offsetof(DiscoveryRecord, address) == 40);
static_assert(sizeof(ProductInfo) == 72);
static_assert(offsetof(ProductInfo, release) == 29);
static_assert(offsetof(ProductInfo, products) == 32);
#endif

// Opens a snapshot of the table. count (may be null) gets the number of
// records. VLB_FILE_NOT_FOUND when no server ever announced itself here.
int32_t VlbOpenTable(uint32_t* table, uint32_t* count);
// Fills record with the record at index (from 0); VLB_NO_MORE_RECORDS past
// the end.
int32_t VlbReadRecord(uint32_t table, uint32_t index, DiscoveryRecord* record);
// Product information of the record at *index, which must be the record
// given (same server name) announced by ownerId; VLB_INVALID_PARAMETER
// otherwise.
int32_t VlbGetProductInfo(uint32_t table, const uint32_t* index, uint32_t ownerId,
                          const DiscoveryRecord* record, ProductInfo* info);
int32_t VlbCloseTable(uint32_t table);

#ifdef __cplusplus
}
#endif
