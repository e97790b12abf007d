// Waking an event loop that waits in select()/poll() (the SNMP engine's loop)
// from other threads and from signal handlers: a descriptor that becomes
// readable when signalled. Signals add up until Drain() reads them.
#pragma once

#include <cstdint>

namespace orb {

class Wakeup {
  public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    // False when the descriptor could not be created.
    bool Valid() const { return fd_ >= 0; }
    // The descriptor to watch for reading.
    int Fd() const { return fd_; }
    // Makes Fd() readable. Safe from any thread and from signal handlers.
    void Signal() noexcept;
    // Clears the readable state; returns the number of signals since the last Drain.
    uint64_t Drain() noexcept;

  private:
    int fd_ = -1;
};

// SIGTERM and SIGINT end the program cleanly: the handler records the request
// and signals the wakeup (which must outlive the program's loop). Installing
// again replaces the wakeup.
void StopOnTerminateSignals(Wakeup* wakeup);
// True once SIGTERM or SIGINT arrived (or RequestStop was called).
bool StopRequested();
// Records a stop request from inside the program, as the signals do.
void RequestStop();

}  // namespace orb
