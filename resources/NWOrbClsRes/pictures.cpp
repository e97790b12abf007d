// The pictures of "NWOrbClsRes.dll", as text for the terminal front ends:
// icon 128 (a console with a host behind it); the digit bitmaps come from
// ../digit_bitmaps.cpp.

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT const char* OrbResourceIcon(unsigned id) { return id == 128 ? "[>_]" : nullptr; }
