// Reading one backup service's state through the service control manager.
#pragma once

#include <cstddef>

#include "platform/win32.h"

// The service's state (1 stopped ... 7 paused); 0 when the manager or the
// service cannot be opened or queried.
DWORD readServiceState(const char* name, DWORD serviceAccess);
// The status text of a state: the resource library's text, else the
// built-in English one ("Unknown" for 0 and any state beyond 7).
void serviceStateText(DWORD state, char* text, size_t size);
// Loads string id of "lmAgentRes.dll" (or of this program when the library
// is missing) into text: 1 with the text, 0 when there is none.
int LoadStringRes(UINT id, char* text, size_t size);
