#include "support/loopback_server.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

namespace tolva::testing {

namespace {
constexpr auto kStartWait = std::chrono::seconds(5);
constexpr auto kStallLimit = std::chrono::seconds(10);
constexpr auto kSlowPause = std::chrono::milliseconds(300);
// /drip sends one byte this often: fast enough for libcurl's stall check, far too slow to finish.
constexpr auto kDripPause = std::chrono::milliseconds(300);
// One header line longer than the 100 KiB libcurl accepts.
constexpr std::size_t kLongHeaderBytes = 101 * 1024;
constexpr auto kHoldPause = std::chrono::milliseconds(150);
}  // namespace

struct LoopbackServer::State {
    httplib::Server server;
    std::thread thread;
    int port = -1;
    mutable std::mutex mutex;
    std::condition_variable stopping;
    bool stopped = false;
    std::map<std::string, int> hits;
    int stallsStarted = 0;
    int inFlight = 0;
    int maxInFlight = 0;

    void Count(const httplib::Request& request) {
        std::lock_guard<std::mutex> lock(mutex);
        hits[request.path] += 1;
    }
};

LoopbackServer::LoopbackServer() : state_(std::make_unique<State>()) {
    State& s = *state_;
    auto& server = s.server;
    // Counted on arrival, so a count is right as soon as the client has its reply.
    server.set_pre_routing_handler([&s](const httplib::Request& request, httplib::Response&) {
        s.Count(request);
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Get(R"(/status/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        response.status = std::stoi(request.matches[1]);
        response.set_content("status page", "text/plain");
    });
    server.Get(R"(/redirect/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        int left = std::stoi(request.matches[1]);
        if (left == 0) {
            response.set_content("arrived", "text/plain");
            return;
        }
        response.status = 301;
        response.set_header("Location", "/redirect/" + std::to_string(left - 1));
    });
    server.Get(R"(/hop/(\d+)(/.*))", [](const httplib::Request& request, httplib::Response& response) {
        response.status = std::stoi(request.matches[1]);
        std::string location = request.matches[2].str();
        for (const auto& [name, value] : request.params) {
            location += (location.find('?') == std::string::npos ? "?" : "&") + name + "=" + value;
        }
        response.set_header("Location", location);
    });
    server.Get(R"(/(page/.*)?)", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("a page", "text/plain");
    });
    server.Get("/loop", [](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("Location", "/loop");
    });
    server.Get("/cookie/set", [](const httplib::Request&, httplib::Response& response) {
        response.status = 302;
        response.set_header("Set-Cookie", "session=present; Path=/");
        response.set_header("Location", "/cookie/check");
    });
    server.Get("/cookie/check", [](const httplib::Request& request, httplib::Response& response) {
        bool has = request.get_header_value("Cookie").find("session=present") != std::string::npos;
        response.status = has ? 200 : 403;
        response.set_content(has ? "welcome" : "no cookie", "text/plain");
    });
    server.Get("/slow", [](const httplib::Request&, httplib::Response& response) {
        std::this_thread::sleep_for(kSlowPause);
        response.set_content("late but fine", "text/plain");
    });
    server.Get("/stall", [&s](const httplib::Request&, httplib::Response& response) {
        std::unique_lock<std::mutex> lock(s.mutex);
        s.stallsStarted += 1;
        s.stopping.wait_for(lock, kStallLimit, [&s] { return s.stopped; });
        response.set_content("too late", "text/plain");
    });
    server.Get("/drip", [&s](const httplib::Request&, httplib::Response& response) {
        response.set_chunked_content_provider("text/plain", [&s](std::size_t, httplib::DataSink& sink) {
            std::unique_lock<std::mutex> lock(s.mutex);
            auto deadline = std::chrono::steady_clock::now() + kStallLimit;
            while (!s.stopped && std::chrono::steady_clock::now() < deadline) {
                lock.unlock();
                if (!sink.write("x", 1)) return false;
                lock.lock();
                s.stopping.wait_for(lock, kDripPause, [&s] { return s.stopped; });
            }
            return false;
        });
    });
    server.Get("/long-header", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("X-Padding", std::string(kLongHeaderBytes, 'p'));
        response.set_content("fine body", "text/plain");
    });
    server.Get("/big", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(std::string(1 << 20, 'x'), "application/octet-stream");
    });
    server.Get("/agent", [](const httplib::Request& request, httplib::Response& response) {
        response.status = request.get_header_value("User-Agent") == "Tolva" ? 200 : 400;
    });
    server.Get("/with space/\xC3\xA9", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("found", "text/plain");
    });
    server.Get(R"(/hold/\d+)", [&s](const httplib::Request&, httplib::Response& response) {
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.maxInFlight = std::max(s.maxInFlight, ++s.inFlight);
        }
        std::this_thread::sleep_for(kHoldPause);
        std::lock_guard<std::mutex> lock(s.mutex);
        s.inFlight -= 1;
        response.set_content("held", "text/plain");
    });
    // The count of a path already includes the request in hand.
    server.Get(R"(/retry-after/\d+)", [&s](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.hits[request.path] > 1) return;
        response.status = 429;
        response.set_header("Retry-After", "1");
    });
    server.Get(R"(/flaky/\d+)", [&s](const httplib::Request& request, httplib::Response& response) {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.hits[request.path] == 1) response.status = 503;
    });
    server.Get("/browser", [](const httplib::Request& request, httplib::Response& response) {
        bool browser = request.get_header_value("User-Agent").starts_with("Mozilla/") &&
                       !request.get_header_value("Accept-Language").empty();
        response.status = browser ? 200 : 403;
    });
    server.Get(R"(/web/(?:(\d{14})(id_)?/)?(.*))", [](const httplib::Request& request, httplib::Response& response) {
        const std::string archived = request.matches[3];
        if (request.matches[2].matched) {
            response.set_content("archived page", "text/plain");
        } else if (archived.find("never-archived") != std::string::npos) {
            response.status = 404;
        } else {
            const std::string day = request.matches[1].matched ? request.matches[1].str().substr(0, 8) : "20200101";
            response.status = 302;
            response.set_header("Location", "/web/" + day + "000000id_/" + archived);
        }
    });
    s.port = server.bind_to_any_port("127.0.0.1");
    if (s.port <= 0) return;
    s.thread = std::thread([&server] { server.listen_after_bind(); });
    auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (!server.is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

LoopbackServer::~LoopbackServer() {
    {
        std::lock_guard<std::mutex> lock(state_->mutex);
        state_->stopped = true;
    }
    state_->stopping.notify_all();
    state_->server.stop();
    if (state_->thread.joinable()) state_->thread.join();
}

bool LoopbackServer::Running() const { return state_->port > 0 && state_->server.is_running(); }

int LoopbackServer::Port() const { return state_->port; }

std::string LoopbackServer::Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(state_->port) + path;
}

int LoopbackServer::StallsStarted() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->stallsStarted;
}

int LoopbackServer::MaxInFlight() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->maxInFlight;
}

int LoopbackServer::Hits(const std::string& path) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    auto found = state_->hits.find(path);
    return found == state_->hits.end() ? 0 : found->second;
}

int LoopbackServer::HitsUnder(const std::string& prefix) const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    int count = 0;
    for (const auto& [path, hits] : state_->hits) {
        if (path.starts_with(prefix)) count += hits;
    }
    return count;
}

RefusedPort::RefusedPort() : fd_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    if (fd_ < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port_ = ntohs(address.sin_port);
    }
}

RefusedPort::~RefusedPort() {
    if (fd_ >= 0) close(fd_);
}

std::string WorkBookmarks(const LoopbackServer& server, const std::vector<std::pair<std::string, std::string>>& links) {
    std::string text =
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n<DL><p>\n"
        "<DT><H3>Work</H3>\n<DL><p>\n";
    for (const auto& [name, path] : links) {
        const std::string url = path.rfind("http", 0) == 0 ? path : server.Url(path);
        text += "<DT><A HREF=\"" + url + "\">" + name + "</A>\n";
    }
    return text + "</DL><p>\n</DL><p>\n";
}

}  // namespace tolva::testing
