#include "support/ftp_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace tolva::testing {

namespace {

// The server gives up on its own after this long, so a test that goes wrong cannot hang.
constexpr auto kLifetime = std::chrono::seconds(30);
constexpr int kPollMs = 50;

struct Fd {
    int fd = -1;
    explicit Fd(int value = -1) : fd(value) {}
    ~Fd() { Reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    void Reset(int value = -1) {
        if (fd >= 0) close(fd);
        fd = value;
    }
};

std::string Upper(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// Joins a CWD or file argument onto the current folder.
std::string Resolve(const std::string& folder, const std::string& name) {
    if (name.starts_with('/')) return name;
    return folder == "/" ? "/" + name : folder + "/" + name;
}

}  // namespace

struct FtpServer::State {
    Fd listener;
    int port = -1;
    std::thread thread;
    std::atomic<bool> stop{false};
    mutable std::mutex mutex;
    std::vector<std::string> commands;

    // One reply line for one command line; the folder is the connection's current one.
    std::string Answer(const std::string& line, std::string& folder) {
        std::size_t space = line.find(' ');
        std::string word = Upper(line.substr(0, space));
        std::string argument = space == std::string::npos ? std::string() : line.substr(space + 1);
        {
            std::lock_guard<std::mutex> lock(mutex);
            commands.push_back(word);
        }
        if (word == "USER") return "331 Send the password\r\n";
        if (word == "PASS") return "230 Logged in\r\n";
        if (word == "PWD") return "257 \"" + folder + "\" is the current folder\r\n";
        if (word == "TYPE") return "200 Type set\r\n";
        if (word == "REST") return "350 Restarting\r\n";
        if (word == "QUIT") return "221 Bye\r\n";
        if (word == "CWD") {
            std::string target = Resolve(folder, argument);
            if (target == "/" || target == "/pub" || target == "/pub/") {
                folder = target == "/pub/" ? "/pub" : target;
                return "250 Folder changed\r\n";
            }
            return "550 No such folder\r\n";
        }
        if (word == "SIZE" || word == "MDTM") {
            if (Resolve(folder, argument) != "/pub/there.txt") return "550 No such file\r\n";
            return word == "SIZE" ? "213 5\r\n" : "213 20200101000000\r\n";
        }
        return "502 Not offered here\r\n";
    }

    void Serve() {
        auto deadline = std::chrono::steady_clock::now() + kLifetime;
        Fd client;
        std::string pending;
        std::string folder = "/";
        while (!stop.load() && std::chrono::steady_clock::now() < deadline) {
            pollfd descriptors[2] = {{listener.fd, POLLIN, 0}, {client.fd, POLLIN, 0}};
            if (poll(descriptors, client.fd >= 0 ? 2 : 1, kPollMs) <= 0) continue;
            if (descriptors[0].revents & POLLIN) {
                // One client at a time: a new connection replaces the old one.
                client.Reset(accept4(listener.fd, nullptr, nullptr, SOCK_CLOEXEC));
                pending.clear();
                folder = "/";
                if (client.fd >= 0) Send(client.fd, "220 Ready\r\n");
                continue;
            }
            if (client.fd < 0 || !(descriptors[1].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            char buffer[512];
            ssize_t got = recv(client.fd, buffer, sizeof buffer, 0);
            if (got <= 0) {
                client.Reset();
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t end = pending.find("\r\n"); end != std::string::npos; end = pending.find("\r\n")) {
                std::string line = pending.substr(0, end);
                pending.erase(0, end + 2);
                Send(client.fd, Answer(line, folder));
            }
        }
    }

    static void Send(int fd, const std::string& text) { send(fd, text.data(), text.size(), MSG_NOSIGNAL); }
};

FtpServer::FtpServer() : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.listener.Reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (s.listener.fd < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (bind(s.listener.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(s.listener.fd, 4) != 0 ||
        getsockname(s.listener.fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return;
    }
    s.port = ntohs(address.sin_port);
    s.thread = std::thread([&s] { s.Serve(); });
}

FtpServer::~FtpServer() {
    state_->stop.store(true);
    if (state_->thread.joinable()) state_->thread.join();
}

bool FtpServer::Running() const { return state_->port > 0 && state_->thread.joinable(); }

std::string FtpServer::Url(const std::string& path) const {
    return "ftp://127.0.0.1:" + std::to_string(state_->port) + path;
}

std::vector<std::string> FtpServer::Commands() const {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->commands;
}

}  // namespace tolva::testing
