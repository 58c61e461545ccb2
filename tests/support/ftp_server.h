#pragma once
// A scripted FTP control connection on 127.0.0.1 and an ephemeral port, served by one
// thread for at most a bounded time. It holds one folder, /pub, with one file,
// /pub/there.txt; anything else is refused with 550. It never opens a data connection:
// EPSV, PASV, PORT, RETR and LIST are refused, and every command received is logged, so a
// test can see whether a client asked for data.

#include <memory>
#include <string>
#include <vector>

namespace tolva::testing {

class FtpServer {
public:
    FtpServer();
    ~FtpServer();
    FtpServer(const FtpServer&) = delete;
    FtpServer& operator=(const FtpServer&) = delete;

    bool Running() const;
    // "ftp://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;
    // The command words received so far (USER, PASS, CWD, ...), in order.
    std::vector<std::string> Commands() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace tolva::testing
