// The backup product's tool library: where the product keeps its settings in
// the registry. Every program that reads a product setting asks here for the
// key path first, so that a site with another layout changes one file.
//
// Each query fills the caller's buffer (callers pass 256 bytes) with a
// zero-terminated key path relative to HKEY_LOCAL_MACHINE, without a trailing
// backslash, and returns 0. A buffer too small for the path gets an empty
// string (when it has room for one) and ERROR_INSUFFICIENT_BUFFER; a null
// buffer gets ERROR_INVALID_PARAMETER. Callers may ignore the result: an
// empty path simply finds no key.
//
// Configuration: "kstool.ini" in the machine root, section [Keys]:
//   ProductKey          default "SOFTWARE\NorwindSystems\Lumora Vaultline Backup\Base"
//   IntegrationRootKey  default "SOFTWARE\NorwindSystems\Lumora Vaultline Backup"
//   ServerKey           default "SOFTWARE\NorwindSystems\Lumora Vaultline Backup\Base\Servers"
// An absent, empty or over-long (more than 255 characters) entry takes the
// default; a trailing backslash in an entry is dropped.
#pragma once

#include "platform/win32.h"

#ifdef __cplusplus
extern "C" {
#endif

// Longest path a query writes, without the terminator.
#define KSTOOL_MAX_KEY_PATH 255

// The product's key; callers append "\\Path" for "LOG" and "HOME".
LONG KsToolGetProductKey(LPSTR buffer, DWORD size);
// The integration's root; callers append "\\OrbIntegration" for "Debug" and "Support".
LONG KsToolGetIntegrationRootKey(LPSTR buffer, DWORD size);
// The key with one subkey per known backup server ("ServerInfo" values).
LONG KsToolGetServerKey(LPSTR buffer, DWORD size);
// TRUE when the integration's "Debug" value is exactly 1: the switch of every trace file.
BOOL KsToolDebugSwitchOn(void);
// The product's log directory ("LOG" of its Path key) into buffer, with its
// terminator. Unreadable: the registry's code and an empty buffer (when it has
// room); longer than the buffer: ERROR_MORE_DATA and an empty buffer.
LONG KsToolGetLogDirectory(LPSTR buffer, DWORD size);
// One line of the product's log files, "MM/DD/YY HH:MM:SS<TAB>message<CR><LF>",
// stamped with the local time, into line (at least 24 bytes). The message is
// cut to fit, never the line end: readers split on "\r\n". Returns the length
// without the terminator; 0 when line is too small.
DWORD KsToolFormatLogLine(LPCSTR message, LPSTR line, DWORD size);

// Size at which a trace file ("KestOrb.TRC", "EBOrbInt.log") is moved to the
// same name followed by ".1" (replacing the piece moved there before) and
// begun anew: with "Debug" 1 a pass traces several hundred bytes a record,
// and the files would otherwise fill the disk.
#define KSTOOL_TRACE_ROTATE_BYTES (32u * 1024u * 1024u)
// Appends text to a trace file under the writers' lock, moving a full file
// aside first (see above). ERROR_SUCCESS or the Win32 code of the failure.
DWORD KsToolAppendTrace(LPCSTR path, LPCSTR text, DWORD length);

#ifdef __cplusplus
}
#endif
