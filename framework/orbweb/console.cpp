#include "framework/orbweb/console.h"

#include <httplib.h>

#include <algorithm>
#include <regex>
#include <tuple>

#include "framework/orbweb/pages.h"
#include "framework/orbweb/static_files.h"
#include "launcher/Launcher.h"
#include "platform/command.h"
#include "platform/pathsearch.h"
#include "platform/sync.h"
#include "platform/textfile.h"
#include "platform/uuid.h"

namespace orbweb {
namespace {

// No script but the console's own file, no style but its own sheet, no
// frame but its own agent panel, forms only back to it.
const char* const kPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
    "connect-src 'self'; frame-src 'self'; frame-ancestors 'self'; form-action 'self'; "
    "base-uri 'none'";

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJson = "application/json";

constexpr size_t kMaxTokens = 4096;
constexpr uint64_t kTokenLifeMs = 60ull * 60 * 1000;
// Refresh listeners each hold one of the server's threads.
constexpr int kMaxListeners = 8;
constexpr int kThreads = kMaxListeners + 8;
constexpr unsigned kKeepAliveMs = 15000;
constexpr DWORD kLauncherTimeoutMs = 120000;
constexpr size_t kStaticFileMax = 1 << 20;

// Class and UUID (without braces) of an object's address.
const char* const kObjectTail =
    R"(/([A-Za-z0-9_]{1,31})/([0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}))";

struct Route {
    std::string pattern;
    const char* allow;
};

// Every path the console answers and the methods it takes there, for the
// 405 of another method.
std::vector<Route> KnownRoutes() {
    const std::string object = kObjectTail;
    return {{"/", "GET, HEAD"},
            {"/views", "GET, HEAD"},
            {"/health", "GET, HEAD"},
            {"/events", "GET, HEAD"},
            {"/api/map", "GET, HEAD"},
            {"/api/views", "GET, HEAD"},
            {"/static/[a-z]+\\.(css|js)", "GET, HEAD"},
            {"/object" + object, "GET, HEAD"},
            {"/api/object" + object, "GET, HEAD"},
            {"/agent" + object, "GET, HEAD"},
            {"/api/agent" + object, "GET, HEAD"},
            {"/action/update-host" + object, "POST"},
            {"/api/action/update-host" + object, "POST"}};
}

const char* AllowedAt(const std::string& path) {
    static const std::vector<std::pair<std::regex, const char*>> routes = [] {
        std::vector<std::pair<std::regex, const char*>> compiled;
        for (const Route& route : KnownRoutes())
            compiled.emplace_back(std::regex(route.pattern), route.allow);
        return compiled;
    }();
    for (const auto& [pattern, allow] : routes)
        if (std::regex_match(path, pattern)) return allow;
    return nullptr;
}

bool WantsJson(const httplib::Request& request) { return request.path.rfind("/api/", 0) == 0; }

void Answer(httplib::Response& response, int status, const std::string& message, bool json) {
    response.status = status;
    if (json)
        response.set_content(Json{{"status", status}, {"error", message}}.dump(), kJson);
    else
        response.set_content(MessagePage(status, message), kHtml);
}

std::string Token() {
    std::string token;
    for (int i = 0; i < 2; ++i) {
        UUID id{};
        UuidCreate(&id);
        const auto* bytes = reinterpret_cast<const unsigned char*>(&id);
        static const char* const kHex = "0123456789abcdef";
        for (size_t b = 0; b < sizeof id; ++b) {
            token += kHex[bytes[b] >> 4];
            token += kHex[bytes[b] & 15];
        }
    }
    return token;
}

// A host whose name holds another of the launcher's switches would make it
// do that instead (it takes the first of "-h ", "-d ", "/S:" it finds).
bool LauncherTakesHost(const std::string& host) {
    return !host.empty() && host.size() < launcher::kHostBufferSize &&
           host.find("-h ") == std::string::npos && host.find("/S:") == std::string::npos &&
           host.find_first_of("\r\n") == std::string::npos;
}

bool IsLoopback(const std::string& host) {
    return host.rfind("127.", 0) == 0 || host == "::1" || host == "localhost";
}

std::string IniBeside(const std::string& program) { return launcher::IniPathFor(program); }

}  // namespace

std::string TokenBook::Issue(const std::string& object) {
    std::lock_guard<std::mutex> lock(mutex_);
    while (order_.size() >= kMaxTokens) {
        tokens_.erase(order_.front());
        order_.pop_front();
    }
    std::string token = Token();
    tokens_[token] = {object, GetTickCount()};
    order_.push_back(token);
    return token;
}

bool TokenBook::Accept(const std::string& token, const std::string& object) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = tokens_.find(token);
    return found != tokens_.end() && found->second.object == object &&
           GetTickCount() - found->second.issuedAt < kTokenLifeMs;
}

Console::Console(Store& store, AgentReader& agents, ConsoleOptions options)
    : store_(store),
      agents_(agents),
      options_(std::move(options)),
      server_(std::make_unique<httplib::Server>()) {
    server_->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
    Routes();
}

Console::~Console() { Stop(); }

int Console::Bind(const std::string& host, int port) {
    const int bound = port == 0 ? server_->bind_to_any_port(host.c_str())
                                : (server_->bind_to_port(host.c_str(), port) ? port : -1);
    if (bound > 0 && IsLoopback(host)) {
        const std::string suffix = ":" + std::to_string(bound);
        hosts_ = {"127.0.0.1" + suffix, "localhost" + suffix, "[::1]" + suffix,
                  (host.find(':') != std::string::npos ? "[" + host + "]" : host) + suffix};
    }
    return bound;
}

bool Console::Serve() { return server_->listen_after_bind(); }

void Console::Stop() {
    {
        std::lock_guard<std::mutex> lock(changeMutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    server_->stop();
}

void Console::Poll() {
    const uint64_t generation = store_.Current()->generation;
    std::lock_guard<std::mutex> lock(changeMutex_);
    if (generation != generation_) {
        generation_ = generation;
        changed_.notify_all();
    }
}

uint64_t Console::WaitForChange(uint64_t seen, unsigned timeoutMs) {
    std::unique_lock<std::mutex> lock(changeMutex_);
    changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                      [&] { return stopping_ || generation_ > seen; });
    return generation_;
}

std::shared_ptr<const std::string> Console::Drawn(
    const std::string& route, const std::function<std::string(const Snapshot&)>& draw) {
    std::shared_ptr<const Snapshot> snapshot = store_.Current();
    {
        std::lock_guard<std::mutex> lock(drawnMutex_);
        auto found = drawn_.find(route);
        if (found != drawn_.end() && found->second.snapshot == snapshot) return found->second.text;
    }
    auto text = std::make_shared<const std::string>(draw(*snapshot));
    std::lock_guard<std::mutex> lock(drawnMutex_);
    drawn_[route] = {snapshot, text};
    return text;
}

void Console::Routes() {
    httplib::Server& server = *server_;
    server.set_post_routing_handler([](const httplib::Request&, httplib::Response& response) {
        response.set_header("Content-Security-Policy", kPolicy);
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Referrer-Policy", "no-referrer");
        response.set_header("X-Frame-Options", "SAMEORIGIN");
        if (!response.has_header("Cache-Control")) response.set_header("Cache-Control", "no-store");
    });
    // Methods no route takes, on known paths 405, elsewhere 404.
    server.set_pre_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            const std::string named = request.get_header_value("Host");
            if (!hosts_.empty() && !named.empty() &&
                std::find(hosts_.begin(), hosts_.end(), orb::Lower(named)) == hosts_.end()) {
                Answer(response, 403, "this console answers only to its loopback address",
                       WantsJson(request));
                return httplib::Server::HandlerResponse::Handled;
            }
            const std::string& method = request.method;
            const char* allow = AllowedAt(request.path);
            if (allow == nullptr) {
                Answer(response, 404, "no such page", WantsJson(request));
                return httplib::Server::HandlerResponse::Handled;
            }
            const std::string allowed = allow;
            const bool takes = allowed.find(method) != std::string::npos &&
                               (method == "GET" || method == "HEAD" || method == "POST");
            if (takes) return httplib::Server::HandlerResponse::Unhandled;
            response.set_header("Allow", allowed);
            Answer(response, 405, "method " + method + " is not allowed here (" + allowed + ")",
                   WantsJson(request));
            return httplib::Server::HandlerResponse::Handled;
        });
    server.set_exception_handler(
        [](const httplib::Request& request, httplib::Response& response, std::exception_ptr error) {
            std::string why = "the console failed";
            try {
                if (error) std::rethrow_exception(error);
            } catch (const orbcli::ToolError& e) {
                why = "the repository failed: " + orbcli::CodeName(e.rc()) + ": " + e.what();
            } catch (const std::exception& e) {
                why = e.what();
            }
            Answer(response, 503, why, WantsJson(request));
        });

    const std::string& repository = store_.repository();
    const std::vector<
        std::tuple<const char*, const char*, std::function<std::string(const Snapshot&)>>>
        drawings = {
            {"/", kHtml, [&repository](const Snapshot& s) { return MapPage(s, repository); }},
            {"/api/map", kJson,
             [&repository](const Snapshot& s) { return MapJson(s, repository).dump(); }},
            {"/views", kHtml,
             [&repository](const Snapshot& s) { return ViewsPage(s, repository); }},
            {"/api/views", kJson,
             [&repository](const Snapshot& s) { return ViewsJson(s, repository).dump(); }}};
    for (const auto& [route, type, draw] : drawings)
        server.Get(route, [this, route = std::string(route), type = type, draw = draw](
                              const httplib::Request&, httplib::Response& response) {
            response.set_content(*Drawn(route, draw), type);
        });
    server.Get("/health", [this](const httplib::Request&, httplib::Response& response) {
        const auto snapshot = store_.Current();
        response.set_content(Json{{"status", "ok"},
                                  {"repository", store_.repository()},
                                  {"generation", snapshot->generation},
                                  {"actions", options_.allowActions}}
                                 .dump(),
                             kJson);
    });
    server.Get(R"(/static/([a-z]+\.(css|js)))", [this](const httplib::Request& request,
                                                       httplib::Response& response) {
        const StaticFile* file = FindStaticFile(request.matches[1].str());
        if (file == nullptr) return Answer(response, 404, "no such file", false);
        std::string text(file->content);
        if (!options_.staticDir.empty() &&
            !orb::ReadRegularTextFile(options_.staticDir + "/" + file->name, kStaticFileMax, &text))
            return Answer(response, 404, "no such file", false);
        response.set_header("Cache-Control", "no-cache");
        response.set_content(text, file->type);
    });

    auto objectPage = [this](const httplib::Request& request, httplib::Response& response) {
        const bool json = WantsJson(request);
        const std::string cls = request.matches[1], uuid = request.matches[2];
        const auto record = store_.Object(cls, uuid);
        if (!record) return Answer(response, 404, "no object " + cls + " " + uuid, json);
        Menu menu;
        menu.shown = IsBackupServerClass(record->cls);
        if (menu.shown) {
            const orbcli::Value* server = record->Find("ServerName");
            menu.host = !record->host.empty() || server == nullptr || server->null
                            ? record->host
                            : std::string(server->bytes.begin(), server->bytes.end());
            const launcher::HostTool tool =
                launcher::HostToolFor(IniBeside(options_.launcher), menu.host);
            menu.web = tool.web;
            menu.webAddress = tool.command;
            menu.actionsAllowed = options_.allowActions && LauncherTakesHost(menu.host);
            if (menu.actionsAllowed) menu.token = tokens_.Issue(ObjectPath(cls, uuid));
            const orbcli::Value* address = record->Find("address");
            if (address && !address->null && address->type == orbcli::kString)
                menu.address.assign(address->bytes.begin(), address->bytes.end());
        }
        if (json)
            response.set_content(ObjectJson(*record, menu).dump(), kJson);
        else
            response.set_content(ObjectPage(*record, menu, store_.repository()), kHtml);
    };
    server.Get(std::string("/object") + kObjectTail, objectPage);
    server.Get(std::string("/api/object") + kObjectTail, objectPage);

    auto agentPage = [this](const httplib::Request& request, httplib::Response& response) {
        const bool json = WantsJson(request);
        const auto record = store_.Object(request.matches[1], request.matches[2]);
        const orbcli::Value* address = record ? record->Find("address") : nullptr;
        if (!record || !IsBackupServerClass(record->cls) || address == nullptr || address->null)
            return Answer(response, 404, "no backup-server object with an address", json);
        const AgentStatus status =
            agents_.Read(std::string(address->bytes.begin(), address->bytes.end()));
        if (json)
            response.set_content(AgentJson(status).dump(), kJson);
        else
            response.set_content(AgentPage(status), kHtml);
    };
    server.Get(std::string("/agent") + kObjectTail, agentPage);
    server.Get(std::string("/api/agent") + kObjectTail, agentPage);

    auto updateHost = [this](const httplib::Request& request, httplib::Response& response) {
        const bool json = WantsJson(request);
        const std::string cls = request.matches[1], uuid = request.matches[2];
        const std::string object = ObjectPath(cls, uuid);
        if (!options_.allowActions)
            return Answer(response, 403, "actions are off (start orbweb with --allow-actions)",
                          json);
        if (!request.has_param("token") ||
            !tokens_.Accept(request.get_param_value("token"), object))
            return Answer(response, 403, "the page's token is missing, wrong or expired", json);
        const auto record = store_.Object(cls, uuid);
        if (!record || !IsBackupServerClass(record->cls))
            return Answer(response, 404, "no backup-server object " + cls + " " + uuid, json);
        UpdateOutcome outcome;
        outcome.host = record->host;
        if (!LauncherTakesHost(outcome.host))
            return Answer(response, 409,
                          "the host name \"" + outcome.host +
                              "\" is empty or holds another launcher switch; nothing started",
                          json);
        outcome.exit = orb::RunCommand({options_.launcher, "-d", outcome.host}, kLauncherTimeoutMs,
                                       &outcome.output);
        store_.Invalidate();
        Poll();
        if (json)
            response.set_content(OutcomeJson(outcome).dump(), kJson);
        else
            response.set_content(OutcomePage(outcome, object), kHtml);
    };
    server.Post(std::string("/action/update-host") + kObjectTail, updateHost);
    server.Post(std::string("/api/action/update-host") + kObjectTail, updateHost);

    server.Get("/events", [this](const httplib::Request& request, httplib::Response& response) {
        if (++listeners_ > kMaxListeners) {
            --listeners_;
            return Answer(response, 503, "too many pages are listening", false);
        }
        uint64_t seen = store_.Current()->generation;
        if (request.has_param("since"))
            seen = std::strtoull(request.get_param_value("since").c_str(), nullptr, 10);
        response.set_header("Cache-Control", "no-cache");
        response.set_chunked_content_provider(
            "text/event-stream",
            [this, seen](size_t, httplib::DataSink& sink) mutable {
                const uint64_t now = WaitForChange(seen, kKeepAliveMs);
                {
                    std::lock_guard<std::mutex> lock(changeMutex_);
                    if (stopping_) {
                        sink.done();
                        return true;
                    }
                }
                const std::string message =
                    now > seen ? "event: change\ndata: " + std::to_string(now) + "\n\n"
                               : ": still here\n\n";
                seen = std::max(seen, now);
                return sink.write(message.data(), message.size());
            },
            [this](bool) { --listeners_; });
    });
}

}  // namespace orbweb
