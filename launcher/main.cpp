// ksuxgo: started from a backup-server object's menu with the host's name,
// opens the server's web page or a telnet session ("-h HOST", "/S:SERVER"),
// or repairs the labels of the host's backup-server objects ("-d HOST").
//
// Exit codes: 0 the action was done; 1 nothing could be started, the server
// was refused, the registry hive is damaged, or the host update found no
// usable repository or library; 2 no switch, a switch without a name, or an
// argument too long for the host buffer.
#include <cstdio>
#include <string>

#include "launcher/HostUpdate.h"
#include "launcher/Launcher.h"
#include "platform/dynload.h"
#include "platform/registry.h"
#include "platform/resource.h"
#include "platform/ui.h"
#include "publisher/app/framework_client.h"

namespace {

constexpr size_t kTextSize = 512;
constexpr const char* kUsage = "usage: ksuxgo -h HOST | -d HOST | /S:SERVER\n";
constexpr size_t kMaxComputerName = 255;

class CLauncherApp {
  public:
    ~CLauncherApp() {
        if (resources_ != nullptr) FreeLibrary(resources_);
    }

    int Run(int argc, char** argv) {
        resources_ = LoadLibraryA("NWOrbClsRes.dll");
        char program[1024] = {};
        GetModuleFileNameA(nullptr, program, sizeof program);
        const std::string iniPath = launcher::IniPathFor(program);

        std::string line;
        for (int i = 1; i < argc; ++i) line += (i > 1 ? " " : "") + std::string(argv[i]);
        const launcher::LaunchRequest request = launcher::ParseLaunchCommandLine(line);

        launcher::LauncherContext context;
        context.iniPath = iniPath;
        context.shell = launcher::PlatformShell;
        context.warn = [this](UINT id) { Warn(Text(id)); };
        context.tell = [](const std::string& text) {
            std::fprintf(stderr, "ksuxgo: %s\n", text.c_str());
        };
        switch (request.mode) {
            case launcher::LaunchMode::None:
                // No box: the console never starts it so; a script is told.
                std::fprintf(stderr, "ksuxgo: no switch given; nothing started\n%s", kUsage);
                return 2;
            case launcher::LaunchMode::NoHost:
                std::fprintf(stderr, "ksuxgo: the switch names no host; nothing started\n%s",
                             kUsage);
                return 2;
            case launcher::LaunchMode::TooLong:
                std::fprintf(stderr,
                             "ksuxgo: the host name is longer than %zu characters; nothing "
                             "started\n",
                             launcher::kHostBufferSize - 1);
                return 2;
            case launcher::LaunchMode::Host:
                return launcher::RunHostAction(context, request.host) ? 0 : 1;
            case launcher::LaunchMode::Server:
                // A damaged hive reads as "server unknown" (text 22), and as
                // "no repository" in the update: neither is what happened.
                if (!orb::RegHiveUsable("ksuxgo")) return 1;
                return launcher::RunServerAction(context, request.host) ? 0 : 1;
            case launcher::LaunchMode::Update:
                if (!orb::RegHiveUsable("ksuxgo")) return 1;
                return HostUpdate(request.host, iniPath) ? 0 : 1;
        }
        return 2;
    }

  private:
    std::string Text(UINT id) const {
        char text[kTextSize] = {};
        LoadStringA(resources_, id, text, sizeof text);
        return text;
    }

    static void Warn(const std::string& text) {
        MessageBoxA(nullptr, text.c_str(), "", MB_OK | MB_ICONWARNING);
    }

    bool HostUpdate(const std::string& host, const std::string& iniPath) {
        launcher::HostUpdateServices services;
        services.probe.client = FrameworkRepositoryClient();
        services.probe.message = Warn;
        services.probe.text = [this](UINT id) { return Text(id); };
        services.iniPath = iniPath;
        services.repositoryName = [] { return ComputerRepositoryName(kMaxComputerName, nullptr); };
        services.closeWhenUnreachable =
            orb::CurrentUiSettings().frontEnd == orb::FrontEndKind::Batch;
        launcher::CHostUpdateDlg dialog(resources_, host, services);
        dialog.RunModal();
        return dialog.JobDone();
    }

    HINSTANCE resources_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    CLauncherApp app;
    return app.Run(argc, argv);
}
