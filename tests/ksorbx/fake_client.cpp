#include "tests/ksorbx/fake_client.h"

#include <cstring>

namespace fakeclient {
namespace {

ClientState state;

ORBOM_RC Start(const char*, ORBOM_KERNEL* kernel, uint32_t) {
    if (state.startResult != 0) return state.startResult;
    *kernel = 1;
    ++state.kernelsOpen;
    return 0;
}
ORBOM_RC Stop(ORBOM_KERNEL* kernel) {
    if (*kernel != 0) --state.kernelsOpen;
    *kernel = 0;
    return 0;
}
ORBOM_RC Connect(ORBOM_KERNEL, const char* name, ORBOM_CONNECTION* connection) {
    ++state.connects;
    state.connectedTo = name;
    if (state.connectResult != 0) return state.connectResult;
    *connection = 5;
    ++state.connectionsOpen;
    return 0;
}
ORBOM_RC Disconnect(ORBOM_CONNECTION* connection) {
    if (*connection != 0) --state.connectionsOpen;
    *connection = 0;
    return 0;
}
ORBOM_RC EnumBegin(ORBOM_KERNEL, uint32_t) { return state.enumResult; }
ORBOM_RC EnumNext(ORBOM_KERNEL, char* buffer, uint32_t size) {
    if (state.defaultName.size() >= size) return 26;
    std::strcpy(buffer, state.defaultName.c_str());
    return 0;
}

}  // namespace

ClientState& State() { return state; }
void Reset() { state = ClientState(); }

ProbeContext Context(std::vector<std::string>* messages) {
    ProbeContext context;
    context.client = {Start, Stop, Connect, Disconnect, EnumBegin, EnumNext};
    context.text = [](UINT id) { return "text" + std::to_string(id) + ":%d"; };
    context.message = [messages](const std::string& m) { messages->push_back(m); };
    return context;
}

}  // namespace fakeclient
