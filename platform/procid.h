// The running process's identifier, as GetCurrentProcessId reports it.
#pragma once

#include "platform/win32.h"

DWORD GetCurrentProcessId();
