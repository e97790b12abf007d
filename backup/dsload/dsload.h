// The backup product's discovery service ("dsload.dll"): answers whether a
// backup server runs a product, from the discovery table.
//
// Conventions:
//  1. Every entry point returns a 32-bit code: 0 success, otherwise a Win32
//     error code. DSTblEnumServerByProductId answers DS_NOT_FOUND when the
//     server does not run the product.
//  2. KestDSLoad(0) starts the service for its caller; every successful
//     KestDSLoad is matched by one KestDSUnLoad, and the last unload closes
//     the enumerations left open. Enumerations need a started service.
//  3. An enumeration handle is a 32-bit number naming a snapshot of the
//     table taken by DSInitEnumServer, closed by DSDeInitEnumServer.
//  4. Server names are compared without letter case; the name buffer is
//     read up to its terminator or DS_NAME_SIZE bytes, never beyond. A
//     server runs a product when any of its announcements lists the product.
//  5. Any thread may call any entry point; nothing throws.
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DS_OK 0
#define DS_FILE_NOT_FOUND 2  // no discovery table on this machine
#define DS_INVALID_HANDLE 6
#define DS_NOT_READY 21  // KestDSLoad was not called
#define DS_INVALID_PARAMETER 87
#define DS_NOT_FOUND 259  // the server does not run the product
#define DS_CANT_READ 1012

// Size of the server-name buffer and of the result record.
#define DS_NAME_SIZE 44
#define DS_RESULT_SIZE 72

int32_t KestDSLoad(int32_t reserved);
int32_t KestDSUnLoad(void);
// enumeration: the new handle; servers (may be null): records in the table.
int32_t DSInitEnumServer(uint32_t* enumeration, uint32_t* servers);
// 0 when the server in name (DS_NAME_SIZE bytes) runs productId; then index
// gets its record's position in the table and result (DS_RESULT_SIZE bytes)
// the product information of the discovery library's ProductInfo layout.
// Otherwise index is 0 and result is zeroed.
int32_t DSTblEnumServerByProductId(uint32_t enumeration, uint32_t* index, int32_t productId,
                                   char* name, void* result);
int32_t DSDeInitEnumServer(uint32_t enumeration);

#ifdef __cplusplus
}
#endif
