// The agent's diagnostics: every line goes to the debugger output, there is
// no log file. Lines are cut to 512 bytes, the size the agent always used.
// Nothing is formatted while the debugger output goes nowhere: the request
// path traces several lines per binding.
#pragma once

void agentTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Whether trace lines reach anyone; a caller whose arguments cost work to
// prepare (rendering a name) asks first.
bool agentTracing();
