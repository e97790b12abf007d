#include "backup/brand/brand.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/registry.h"

namespace {

const char* const kBrandKey = "SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Brand";

BOOL Fill(LPSTR buffer, const char* name, const char* fallback) {
    if (buffer == nullptr) return FALSE;
    std::string text;
    if (orb::RegGetString(kBrandKey, name, &text) != ERROR_SUCCESS || text.empty()) text = fallback;
    size_t n = std::min<size_t>(text.size(), BRAND_BUFFER_SIZE - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return TRUE;
}

}  // namespace

extern "C" BOOL BrandGetProductLongName(LPSTR buffer) {
    return Fill(buffer, "LongName", "Lumora Vaultline Backup");
}
extern "C" BOOL BrandGetProductShortName(LPSTR buffer) {
    return Fill(buffer, "ShortName", "Vaultline");
}
extern "C" BOOL BrandGetProductInitials(LPSTR buffer) { return Fill(buffer, "Initials", "LVB"); }
