#include "tests/snmpagent/agent_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "platform/debug.h"
#include "platform/registry.h"
#include "platform/sync.h"
#include "tests/platform/scratch_dir.h"

namespace agenttest {

namespace {

struct Captured {
    std::mutex lock;
    std::vector<std::string> lines;
};

Captured& captured() {
    // Never destroyed: worker threads may still write while the process ends.
    static Captured* instance = new Captured;
    return *instance;
}

void captureTrace() {
    orb::SetDebugSink([](const std::string& line) {
        std::lock_guard<std::mutex> hold(captured().lock);
        captured().lines.push_back(line);
    });
}

struct Started {
    HANDLE trapEvent = nullptr;
    std::string home;
    std::vector<std::string> lines;
};

Started start() {
    Started started;
    // The machine root and the clock stay for the rest of the process: the
    // worker threads use them until it ends (the clock is held by the platform).
    // Made before the agent's threads, so removed only after they stopped.
    static orbtest::ScratchDir root;
    setenv("ORB_MACHINE_ROOT", root.path().c_str(), 1);
    started.home = root / "vaultline";
    orb::RegSetString("SOFTWARE\\NorwindSystems\\Lumora Vaultline Backup\\Base\\Path", "HOME",
                      started.home);
    orb::SetClock(new orb::VirtualClock);
    captureTrace();
    AsnObjectIdentifier view{};
    SnmpExtensionInit(GetTickCount(), &started.trapEvent, &view);
    started.lines = traceLines();
    return started;
}

const Started& started() {
    static Started instance = start();
    return instance;
}

}  // namespace

HANDLE startAgent() {
    return started().trapEvent;
}

std::vector<std::string> startupLines() {
    return started().lines;
}

std::string homeDirectory() {
    return started().home;
}

std::vector<std::string> traceLines() {
    std::lock_guard<std::mutex> hold(captured().lock);
    return captured().lines;
}

void clearTrace() {
    std::lock_guard<std::mutex> hold(captured().lock);
    captured().lines.clear();
}

TraceOff::TraceOff() : output_("ORB_DEBUG_OUTPUT", "none") {
    startAgent();
    orb::SetDebugSink(nullptr);
}

TraceOff::~TraceOff() {
    captureTrace();
}

bool traced(const std::string& line) {
    const auto lines = traceLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

Request::Request(std::initializer_list<std::string> names) {
    list_.len = static_cast<UINT>(names.size());
    list_.list = static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(list_.len * sizeof(SnmpVarBind)));
    UINT i = 0;
    for (const std::string& name : names) {
        EXPECT_TRUE(SnmpMgrStrToOid(name.c_str(), &list_.list[i].name)) << name;
        list_.list[i].value.asnType = ASN_NULL;
        ++i;
    }
}

Request::~Request() {
    SnmpUtilVarBindListFree(&list_);
}

AsnInteger32 Request::send(BYTE type) {
    startAgent();
    AsnInteger32 status = -1;
    index_ = -1;
    EXPECT_TRUE(SnmpExtensionQuery(type, &list_, &status, &index_));
    return status;
}

void Request::setInteger(UINT i, AsnInteger32 value) {
    SnmpUtilAsnAnyFree(&list_.list[i].value);
    list_.list[i].value.asnType = ASN_INTEGER;
    list_.list[i].value.asnValue.number = value;
}

void Request::setText(UINT i, const std::string& value) {
    SnmpUtilAsnAnyFree(&list_.list[i].value);
    AsnOctetString& string = list_.list[i].value.asnValue.string;
    string.stream = static_cast<BYTE*>(SnmpUtilMemAlloc(static_cast<UINT>(value.size() + 1)));
    memcpy(string.stream, value.data(), value.size());
    string.length = static_cast<UINT>(value.size());
    string.dynamic = TRUE;
    list_.list[i].value.asnType = ASN_OCTETSTRING;
}

std::string Request::name(UINT i) const {
    return orb::OidToText(list_.list[i].name);
}

BYTE Request::type(UINT i) const {
    return list_.list[i].value.asnType;
}

AsnInteger32 Request::number(UINT i) const {
    return list_.list[i].value.asnValue.number;
}

std::string Request::text(UINT i) const {
    const AsnOctetString& string = list_.list[i].value.asnValue.string;
    return std::string(reinterpret_cast<const char*>(string.stream), string.length);
}

}  // namespace agenttest
