// The system's texts for error codes (FormatMessageA from the system's
// table), and what the exit code of a program that a signal ended says.
#pragma once

#include <cstdarg>
#include <string>

#include "platform/win32.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100u
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200u
#define FORMAT_MESSAGE_FROM_STRING 0x00000400u
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800u
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000u
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FFu

#define LANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define MAKELANGID(primary, sub) ((static_cast<WORD>(sub) << 10) | static_cast<WORD>(primary))

#define ERROR_MR_MID_NOT_FOUND 317L

// Only the system's table is supported (FORMAT_MESSAGE_FROM_SYSTEM, inserts
// ignored, English whatever the language asked); other sources and
// FORMAT_MESSAGE_ALLOCATE_BUFFER answer 0 and ERROR_INVALID_PARAMETER. The
// text ends with "\r\n" as Windows writes it. Returns the characters written
// without the terminator; 0 with ERROR_MR_MID_NOT_FOUND for a code without a
// text, ERROR_INSUFFICIENT_BUFFER (buffer holds "") when it does not fit.
DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                     LPSTR buffer, DWORD size, va_list* arguments);

namespace orb {

// The system's text for an error code without the line end; empty when the
// table has none.
std::string SystemErrorText(DWORD code);
// For an exit code of 128 + n from a process that signal n ended, what
// happened ("Ended by signal 11 (Segmentation fault)."); else empty.
std::string SignalExitText(DWORD code);
// What signal n did ("Ended by signal 11 (Segmentation fault)."); empty for 0.
std::string EndSignalText(int signal);

}  // namespace orb
