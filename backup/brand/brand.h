// The branding library ("BRAND"): the product's names as this site brands
// them. Each call fills a buffer of 260 bytes (always terminated) and
// answers TRUE. The names are the values "LongName", "ShortName" and
// "Initials" of "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Brand";
// an absent or empty value gives the product's own name.
#pragma once

#include "platform/win32.h"

#define BRAND_BUFFER_SIZE 260

#ifdef __cplusplus
extern "C" {
#endif

BOOL BrandGetProductLongName(LPSTR buffer);
BOOL BrandGetProductShortName(LPSTR buffer);
BOOL BrandGetProductInitials(LPSTR buffer);

#ifdef __cplusplus
}
#endif
