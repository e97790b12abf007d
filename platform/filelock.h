// Appending one line to a file that several threads and processes write at
// once. The writer locks the byte range the line will occupy at the end of the
// file, writes it in one call and unlocks it, so lines never interleave and
// none is lost, while readers and other writers keep the file open.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/win32.h"

namespace orb {

// Opens (creating when absent, keeping the contents) and appends text under
// a byte-range lock at the end of the file. Waits while another writer holds
// that range. Returns ERROR_SUCCESS or the Win32 code of the failure
// (ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_WRITE_FAULT, ...).
DWORD AppendLocked(const std::string& path, const char* text, size_t length);

// AppendLocked for a file that would otherwise grow without end (a trace
// file): once it holds rotateAt bytes or more, it is first moved to
// path + ".1" (replacing the piece moved there before) and the text starts
// a new file. The move happens under the writers' lock, so of several
// writers that find the file full exactly one moves it and the others write
// to the new one.
DWORD AppendRotated(const std::string& path, const char* text, size_t length, uint64_t rotateAt);

}  // namespace orb
