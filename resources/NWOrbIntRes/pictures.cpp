// The pictures of "NWOrbIntRes.dll", as text for the terminal front ends:
// icon 128 and animation 144 (a tape passing a head, one frame a line); the
// digit bitmaps come from ../digit_bitmaps.cpp.

#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT const char* OrbResourceIcon(unsigned id) { return id == 128 ? "(o=o)" : nullptr; }

EXPORT const char* OrbResourceAnimation(unsigned id) {
    return id == 144 ? "(o=====o)\n(o-====o)\n(o=-===o)\n(o==-==o)\n(o===-=o)\n(o====-o)" : nullptr;
}
