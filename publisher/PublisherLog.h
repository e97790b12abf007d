// The publisher's log "EBOrbInt.log": written only while the integration's
// "Debug" value is exactly 1, into the product's "LOG" directory or else the
// temporary directory. Every line is looked up, opened and written on its
// own, so the switch takes effect at the next line, and several threads and
// processes may log at once without a torn or lost line.
#pragma once

#include <string>

namespace publisher {

// One line "MM/DD/YY HH:MM:SS\t<message>\r\n". A message too long for the
// 640-byte line is cut; the line end never is.
void WriteLog(const char* message);
// printf-style message, then WriteLog.
void WriteLogF(const char* format, ...) __attribute__((format(printf, 1, 2)));
// The file the next line would go to; empty while logging is off.
std::string LogFilePath();

}  // namespace publisher
