// Cost of the publisher's progress path: a worker posts one message per
// discovery record, the dialog thread takes it, updates the status line and
// a counter, and the batch front end prints the changed line. Measured per
// message, with the line going to /dev/null.
//
// bench-libs: platform
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/sync.h"
#include "platform/ui.h"

namespace {

constexpr UINT kProgress = WM_USER + 1;
constexpr UINT kDone = WM_USER + 2;

class ProgressDialog : public orb::Dialog {
public:
    ProgressDialog() : Dialog("ui bench") {
        AddControl(1002, orb::ControlKind::Text);
        AddControl(1003, orb::ControlKind::Counter, "processed");
        AddControl(1004, orb::ControlKind::Counter, "published");
        SetStatusControl(1002);
    }

protected:
    void OnMessage(UINT message, WPARAM wParam, LPARAM) override {
        if (message == kDone) {
            EndDialog(IDOK);
            return;
        }
        SetItemText(1002, "Processing backup server VAULT" + std::to_string(wParam));
        SetItemPicture(1003, static_cast<long>(wParam), {});
        SetItemPicture(1004, static_cast<long>(wParam / 2), {});
    }
    void OnClose() override {}
};

void BM_ProgressMessages(benchmark::State& state) {
    std::string pattern = (std::filesystem::temp_directory_path() / "orb-uibench-XXXXXX").string();
    std::string root = mkdtemp(pattern.data()) ? pattern : ".";
    setenv("ORB_MACHINE_ROOT", root.c_str(), 1);
    FILE* sink = std::fopen("/dev/null", "w");
    const WPARAM count = static_cast<WPARAM>(state.range(0));
    for (auto _ : state) {
        ProgressDialog dialog;
        HWND window = dialog.Window();
        orb::Thread worker([window, count] {
            for (WPARAM i = 1; i <= count; ++i) PostMessageA(window, kProgress, i, 0);
            PostMessageA(window, kDone, 0, 0);
        });
        auto frontEnd = orb::MakeBatchFrontEnd({}, false, sink);
        benchmark::DoNotOptimize(dialog.RunModal(*frontEnd));
        worker.Join();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(count));
    std::fclose(sink);
    std::error_code ignored;
    std::filesystem::remove_all(root, ignored);
}
BENCHMARK(BM_ProgressMessages)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

}  // namespace
