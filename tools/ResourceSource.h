// The resource library of the small launchers, "NWOrbClsRes.dll": loaded
// when a program starts and the source of all its texts until it ends. When
// it cannot be loaded the programs still run, with empty texts.
#pragma once

#include <string>

#include "platform/dynload.h"
#include "platform/win32.h"

class CResourceSource {
  public:
    CResourceSource();
    ~CResourceSource();
    CResourceSource(const CResourceSource&) = delete;
    CResourceSource& operator=(const CResourceSource&) = delete;

    // String `id`; empty when the library or the string is missing.
    std::string Text(UINT id) const;

  private:
    HINSTANCE library_ = nullptr;
};
