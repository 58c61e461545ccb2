#pragma once
// A small HTTPS server on 127.0.0.1 and an ephemeral port that answers 200 on "/", with a
// self-signed certificate made when it starts. The certificate can be one no client would
// accept even when it trusts it: expired, or made out to another host name.

#include <memory>
#include <string>

namespace tolva::testing {

enum class TlsCertificate {
    ForLoopback,   // made out to 127.0.0.1 and valid now
    Expired,       // made out to 127.0.0.1, expired yesterday
    ForOtherName,  // valid now, made out to another host only
};

class TlsServer {
public:
    explicit TlsServer(TlsCertificate kind);
    ~TlsServer();
    TlsServer(const TlsServer&) = delete;
    TlsServer& operator=(const TlsServer&) = delete;

    bool Running() const;
    // "https://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;
    // The certificate in PEM form, for a client told to trust it.
    const std::string& CertificatePem() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace tolva::testing
