// An event library that lacks "EmEvt_wto": what a broken install looks like.
#include <cstdint>

extern "C" __attribute__((visibility("default"))) int32_t EmEvt_other(uint32_t, uint32_t) {
    return 0;
}
