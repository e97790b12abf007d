// The backup product's event library ("nwuevt.dll"): programs report an
// event as two 32-bit values, which the library appends as one line to the
// machine's event log, "<machine root>/log/events.log":
//   YYYY-MM-DD HH:MM:SS EmEvt_wto <value1> <value2>
// (local time, values as unsigned decimals). The values' meaning belongs to
// the caller; the library records them unchanged.
#pragma once

#include <cstdint>

extern "C" {

// Always 0: a log that cannot be written must not fail the caller's work.
int32_t EmEvt_wto(uint32_t value1, uint32_t value2);

}
