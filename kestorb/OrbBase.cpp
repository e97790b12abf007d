// Trace path handling of the wrapper classes.
#include "kestorb/OrbBase.h"

#include <cstdarg>
#include <cstring>

void COrbBase::SetTracePath(const char* path) {
    traceOn_ = path != nullptr;
    tracePath_[0] = '\0';
    if (path != nullptr) {
        std::strncat(tracePath_, path, sizeof tracePath_ - 1);
    }
}

void COrbBase::Trace(const char* format, ...) const {
    if (!traceOn_ || tracePath_[0] == '\0') return;
    va_list args;
    va_start(args, format);
    kest::TraceBare(tracePath_, format, args);
    va_end(args);
}
