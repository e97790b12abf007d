// Debugger output (OutputDebugStringA). The sink is chosen by
// ORB_DEBUG_OUTPUT: "stderr" (default), "syslog", "file:PATH" or "none".
// Tests install their own sink to capture the lines.
#pragma once

#include <functional>
#include <string>

#include "platform/win32.h"

void OutputDebugStringA(LPCSTR text);

namespace orb {

// Installs a sink for OutputDebugStringA (null restores the configured one).
void SetDebugSink(std::function<void(const std::string&)> sink);

// Whether a line written now would reach anyone: false for "none", an
// unknown setting and a file that discards what it gets (the null device).
// Callers that trace at high rates ask first and skip formatting their lines.
bool DebugOutputWanted();

}  // namespace orb
