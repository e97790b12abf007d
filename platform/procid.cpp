// Process identifier.
#include "platform/procid.h"

#include <unistd.h>

DWORD GetCurrentProcessId() { return static_cast<DWORD>(getpid()); }
