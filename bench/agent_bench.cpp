// The agent's OID registry and dispatch: the cost of one GETNEXT step as a
// table grows (it should not grow with the table), and of one GET.
//
// bench-libs: lmEBAgentObjects platform
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "platform/debug.h"
#include "snmpagent/dispatch.h"
#include "snmpagent/mibtree.h"
#include "snmpagent/registration.h"

namespace {

constexpr const char* kJobsBase = ".1.3.6.1.4.1.58231.2.12.9.9";

void quiet() {
    orb::SetDebugSink([](const std::string&) {});
}

// Registers a jobs table of `rows` rows and 10 columns, as the collector does.
void fillJobs(int rows) {
    mibRemove(kJobsBase);
    char text[kMibOidTextSize];
    for (int row = 0; row < rows; ++row)
        for (int column = 1; column <= 10; ++column) {
            snprintf(text, sizeof text, "%s.1.1.%d.%d", kJobsBase, column, row);
            mibInsert(text, &kJobsEntry);
        }
}

// One step of a walk through the table (wrapping at its end), per iteration.
void BM_GetNextStepInTable(benchmark::State& state) {
    quiet();
    const int rows = static_cast<int>(state.range(0));
    fillJobs(rows);
    char next[kMibOidTextSize];
    std::string current = kJobsBase;
    for (auto _ : state) {
        if (mibGetNext(current.c_str(), next, sizeof next, nullptr) != 0 ||
            std::string(next).rfind(kJobsBase, 0) != 0)
            snprintf(next, sizeof next, "%s", kJobsBase);
        current = next;
    }
    state.SetItemsProcessed(state.iterations());
    mibRemove(kJobsBase);
}
BENCHMARK(BM_GetNextStepInTable)->Arg(100)->Arg(1000)->Arg(10000);

// GETNEXT through the export, on the constant objects: name rendering, the
// registry, the binding renamed and the handler.
void BM_QueryGetNextStatic(benchmark::State& state) {
    quiet();
    static bool registered = (registerMibTable(), true);
    (void)registered;
    for (auto _ : state) {
        SnmpVarBindList list{static_cast<SnmpVarBind*>(SnmpUtilMemAlloc(sizeof(SnmpVarBind))), 1};
        SnmpMgrStrToOid(".1.3.6.1.4.1.58231.2.12.9.3.1.0", &list.list[0].name);
        AsnInteger32 status = 0, index = 0;
        SnmpExtensionQuery(SNMP_PDU_GETNEXT, &list, &status, &index);
        benchmark::DoNotOptimize(status);
        SnmpUtilVarBindListFree(&list);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QueryGetNextStatic);

}  // namespace
