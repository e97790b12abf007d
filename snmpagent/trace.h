// The agent's diagnostics: every line goes to the debugger output, there is
// no log file. Lines are cut to 512 bytes, the size the agent always used.
#pragma once

void agentTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
