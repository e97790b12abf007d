// orbweb's HTTP side: the routes of the pages, their JSON forms, the static
// files, the refresh events and the menu's actions, on cpp-httplib. Every
// answer carries a Content-Security-Policy without inline script; a path
// no route has answers 404, a method a route does not take 405. Actions
// run only when the console was started with them allowed, only by POST,
// and only with the token the object's page was given.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/orbweb/agent_status.h"
#include "framework/orbweb/store.h"

namespace httplib {
class Server;
}

namespace orbweb {

struct ConsoleOptions {
    bool allowActions = false;
    std::string launcher;    // ksuxgo's path
    std::string staticDir;   // "": the files built into the program
    unsigned pollMs = 1000;  // how often the repository's fingerprint is looked at
};

// Tokens handed out with pages that offer actions: each names the page's
// object and expires; the oldest go first when too many are out.
class TokenBook {
  public:
    std::string Issue(const std::string& object);
    bool Accept(const std::string& token, const std::string& object);

  private:
    struct Entry {
        std::string object;
        uint64_t issuedAt;
    };
    std::mutex mutex_;
    std::map<std::string, Entry> tokens_;
    std::deque<std::string> order_;
};

class Console {
  public:
    Console(Store& store, AgentReader& agents, ConsoleOptions options);
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    // Binds host:port (port 0: any free port); the port bound, or -1. On a
    // loopback address only requests naming a loopback host are answered.
    int Bind(const std::string& host, int port);
    // Serves until Stop(); false when the server could not run.
    bool Serve();
    void Stop();
    // Looks at the repository once; wakes the refresh events when it changed.
    void Poll();

  private:
    void Routes();
    uint64_t WaitForChange(uint64_t seen, unsigned timeoutMs);
    // The page a route draws from the current snapshot, drawn once per
    // snapshot: the map of a large repository takes longer to draw than to
    // send.
    std::shared_ptr<const std::string> Drawn(
        const std::string& route, const std::function<std::string(const Snapshot&)>& draw);

    Store& store_;
    AgentReader& agents_;
    ConsoleOptions options_;
    TokenBook tokens_;
    std::unique_ptr<httplib::Server> server_;
    std::mutex changeMutex_;
    std::condition_variable changed_;
    uint64_t generation_ = 0;
    bool stopping_ = false;
    std::atomic<int> listeners_{0};
    // Listening on loopback: the Host names a request may carry. A page of
    // another site whose name was made to point at 127.0.0.1 (DNS
    // rebinding) names its own host, and is refused.
    std::vector<std::string> hosts_;
    struct Drawing {
        std::shared_ptr<const Snapshot> snapshot;
        std::shared_ptr<const std::string> text;
    };
    std::mutex drawnMutex_;
    std::map<std::string, Drawing> drawn_;
};

}  // namespace orbweb
