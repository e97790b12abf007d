// The user the program runs as. An administrator of the machine is the
// superuser: the effective user id 0.
#pragma once

#include "platform/win32.h"

BOOL IsUserAnAdmin();
