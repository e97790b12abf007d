// Mailslots: one-way datagrams to a named receiver on this machine, as the
// setup programs use them to report progress to the master setup. A
// mailslot "\\\\.\\mailslot\\NAME" (or plain "NAME") is the local datagram
// socket <machine root>/tmp/mailslot/NAME. Sending to a mailslot nobody
// reads fails quietly, as it does on Windows.
#pragma once

#include <string>

#include "platform/win32.h"

namespace orb {

// The socket path of a mailslot name; empty for a name that is not one
// (empty, with "/" or "..", or too long for a socket address).
std::string MailslotPath(const std::string& name);
// Sends one datagram. false (and the last error) when nobody receives it.
bool SendMailslot(const std::string& name, const std::string& text);

// The receiving end, for the master setup and tests.
class MailslotReader {
  public:
    MailslotReader() = default;
    ~MailslotReader();
    MailslotReader(const MailslotReader&) = delete;
    MailslotReader& operator=(const MailslotReader&) = delete;
    bool Open(const std::string& name);
    // One datagram, waiting at most timeoutMs. false when none came.
    bool Read(std::string* text, DWORD timeoutMs);

  private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace orb
