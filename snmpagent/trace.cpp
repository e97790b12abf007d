#include "snmpagent/trace.h"

#include <cstdarg>
#include <cstdio>

#include "platform/debug.h"

void agentTrace(const char* format, ...) {
    if (!agentTracing()) return;
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    OutputDebugStringA(line);
}

bool agentTracing() { return orb::DebugOutputWanted(); }
