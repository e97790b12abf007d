// Names of the result codes of KestOrb and the repository client, as the
// library's callers show them in their logs. One table for the whole code
// base: the publisher and the launcher link this too.
#pragma once

#include <cstdint>

extern "C" {

// The code's name: "ORBOM_RC_*" for 0..67 and 9000..9009 (42/43 and 61/62
// share one name), "KESTORB_ERR_*" for 4097..4102 (4099..4101 all read
// "KESTORB_ERR_NEW"), "UNKNOWN" for any other code. Never null; the text is static.
const char* KestCodeName(int32_t code);

}
