#include "tools/ResourceSource.h"

#include "platform/resource.h"

CResourceSource::CResourceSource() : library_(LoadLibraryA("NWOrbClsRes.dll")) {}

CResourceSource::~CResourceSource() {
    if (library_ != nullptr) FreeLibrary(library_);
}

std::string CResourceSource::Text(UINT id) const {
    // Without the library the program itself is asked, as a program whose
    // resource handle was never changed would be; it carries no texts.
    char buffer[1024] = {};
    LoadStringA(library_, id, buffer, sizeof buffer);
    return buffer;
}
