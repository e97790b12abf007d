// The digit bitmaps 130 to 139 that the counters of our dialogs draw, shared
// by every resource library that carries them: seven-segment figures three
// columns by three rows; digit 0 is 139, digits 1 to 8 are 131 to 138,
// digit 9 is 130.

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

const char* const kDigits[10] = {
    " _ \n| |\n|_|",  // 0
    "   \n  |\n  |",  // 1
    " _ \n _|\n|_ ",  // 2
    " _ \n _|\n _|",  // 3
    "   \n|_|\n  |",  // 4
    " _ \n|_ \n _|",  // 5
    " _ \n|_ \n|_|",  // 6
    " _ \n  |\n  |",  // 7
    " _ \n|_|\n|_|",  // 8
    " _ \n|_|\n _|",  // 9
};

}  // namespace

EXPORT const char* OrbResourceBitmap(unsigned id) {
    if (id == 130) return kDigits[9];
    if (id >= 131 && id <= 138) return kDigits[id - 130];
    if (id == 139) return kDigits[0];
    return nullptr;
}
