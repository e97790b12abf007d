// Dynamic loading by Windows library name. "KestOrb.DLL" is found as the
// shared library libKestOrb.so (or KestOrb.so), searched as Windows searches:
// the directory of the running program first, then each directory of PATH.
// Letter case of the name and of the ".DLL" extension is ignored. A name with
// a directory part is loaded from that directory only.
#pragma once

#include <string>

#include "platform/win32.h"

struct OrbModule;
typedef OrbModule* HMODULE;
typedef HMODULE HINSTANCE;
typedef void (*FARPROC)();

// Null on failure; GetLastError() is ERROR_MOD_NOT_FOUND.
HMODULE LoadLibraryA(LPCSTR name);
// Exported C name; null and ERROR_PROC_NOT_FOUND when absent.
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);
// Full path of the module (null: the running program). Win32 size rules.
DWORD GetModuleFileNameA(HMODULE module, LPSTR buffer, DWORD size);

namespace orb {

// Directory of the running program, without a trailing slash.
std::string ProgramDirectory();
// The file a library name resolves to, empty when none is found.
std::string FindLibrary(const std::string& name);

}  // namespace orb
