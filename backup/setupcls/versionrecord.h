// The version record our product files carry: one text in the file's
// data, "$VLVERSION:MAJOR.MINOR.BUILD$", that setup programs find by
// reading the file (SetupCLSGetVersionBuildNumber) without loading it.
#pragma once

#define ORB_VERSION_TEXT2(x) #x
#define ORB_VERSION_TEXT(x) ORB_VERSION_TEXT2(x)

// Place once in one source file of the library or program.
#define ORB_VERSION_RECORD(major, minor, build)                                  \
    extern "C" __attribute__((used, visibility("default"))) const char           \
        OrbVersionRecord[] = "$VLVERSION:" ORB_VERSION_TEXT(major) "."          \
                             ORB_VERSION_TEXT(minor) "." ORB_VERSION_TEXT(build) "$"

inline constexpr const char* kOrbVersionRecordMark = "$VLVERSION:";
