// The agent as the SNMP service sees it: started once per test process on a
// private machine root and a virtual clock, its debugger output captured,
// and requests built and freed the way the service does.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "platform/snmp.h"
#include "tests/platform/scratch_dir.h"

namespace agenttest {

// Starts the agent the first time (SnmpExtensionInit); the trap event it
// handed out.
HANDLE startAgent();
// The debugger lines written while the agent started.
std::vector<std::string> startupLines();
// The backup product's home directory the test machine registers.
std::string homeDirectory();
// Every debugger line the agent wrote so far, and a way to forget them.
std::vector<std::string> traceLines();
void clearTrace();
bool traced(const std::string& line);

// While alive, the debugger output goes nowhere, so the agent formats no
// trace line; the capture resumes afterwards.
class TraceOff {
public:
    TraceOff();
    ~TraceOff();
    TraceOff(const TraceOff&) = delete;
    TraceOff& operator=(const TraceOff&) = delete;

private:
    orbtest::ScopedEnv output_;
};

// The agent root as text, and a name below it.
inline const std::string kRoot = ".1.3.6.1.4.1.58231.2.12.9";
inline std::string below(const std::string& suffix) { return kRoot + suffix; }

// A request's binding list, owned as the service owns it.
class Request {
public:
    explicit Request(std::initializer_list<std::string> names);
    ~Request();
    Request(const Request&) = delete;
    Request& operator=(const Request&) = delete;

    // Sends the request; returns its error status (errorIndex() after).
    AsnInteger32 send(BYTE type);
    AsnInteger32 errorIndex() const { return index_; }

    // Values for a SET.
    void setInteger(UINT i, AsnInteger32 value);
    void setText(UINT i, const std::string& value);

    std::string name(UINT i) const;
    BYTE type(UINT i) const;
    AsnInteger32 number(UINT i) const;
    std::string text(UINT i) const;
    SnmpVarBindList& list() { return list_; }

private:
    SnmpVarBindList list_{};
    AsnInteger32 index_ = -1;
};

}  // namespace agenttest
