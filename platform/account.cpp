#include "platform/account.h"

#include <unistd.h>

BOOL IsUserAnAdmin() { return geteuid() == 0 ? TRUE : FALSE; }
