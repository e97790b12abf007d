// Private profile (INI) files with the Windows semantics the programs rely
// on: sections and keys compare without letter case, missing entries give
// the default, results are cut to the caller's buffer and always terminated,
// a line of any length is read without overrunning anything. Lines starting
// with ";" are comments. The file name, too, matches in any letter case.
#pragma once

#include "platform/win32.h"

// Returns the number of characters copied, without the terminator; a value
// cut to fit returns size - 1. Null section: all section names; null key:
// all keys of the section (each terminated, list ends with a second 0).
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer,
                               DWORD size, LPCSTR fileName);
// Leading decimal digits of the value (with sign); the default when absent.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, int defaultValue, LPCSTR fileName);
// Null value deletes the key; null key deletes the section. Creates the file
// (not its directory). Only the line concerned changes; comments, other
// sections and line ends stay. A name or value that would change the file's
// structure (a line break, "=" in a key, a key starting with ";" or "[")
// fails with ERROR_INVALID_PARAMETER and writes nothing.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);
