// Appending one line to a file that several threads and processes write at
// once. The writer locks the byte range the line will occupy at the end of the
// file, writes it in one call and unlocks it, so lines never interleave and
// none is lost, while readers and other writers keep the file open.
#pragma once

#include <cstddef>
#include <string>

#include "platform/win32.h"

namespace orb {

// Opens (creating when absent, keeping the contents) and appends text under
// a byte-range lock at the end of the file. Waits while another writer holds
// that range. Returns ERROR_SUCCESS or the Win32 code of the failure
// (ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_WRITE_FAULT, ...).
DWORD AppendLocked(const std::string& path, const char* text, size_t length);

}  // namespace orb
