#include "support/tls_server.h"

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <chrono>
#include <thread>

namespace tolva::testing {

namespace {

constexpr auto kStartWait = std::chrono::seconds(5);
constexpr long kDay = 24 * 60 * 60;

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};

// A self-signed certificate for key; null when OpenSSL cannot make one.
X509* MakeCertificate(EVP_PKEY* key, TlsCertificate kind) {
    X509* certificate = X509_new();
    if (!certificate) return nullptr;
    bool expired = kind == TlsCertificate::Expired;
    const char* names = kind == TlsCertificate::ForOtherName ? "DNS:elsewhere.invalid" : "IP:127.0.0.1";
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), expired ? -2 * kDay : -60);
    X509_gmtime_adj(X509_getm_notAfter(certificate), expired ? -kDay : kDay);
    X509_set_pubkey(certificate, key);
    X509_NAME* subject = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Tolva test"), -1,
                               -1, 0);
    X509_set_issuer_name(certificate, subject);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, certificate, certificate, nullptr, nullptr, 0);
    bool ok = false;
    if (X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, NID_subject_alt_name, names)) {
        ok = X509_add_ext(certificate, extension, -1) == 1;
        X509_EXTENSION_free(extension);
    }
    if (!ok || X509_sign(certificate, key, EVP_sha256()) <= 0) {
        X509_free(certificate);
        return nullptr;
    }
    return certificate;
}

std::string ToPem(X509* certificate) {
    BIO* memory = BIO_new(BIO_s_mem());
    if (!memory) return {};
    std::string pem;
    if (PEM_write_bio_X509(memory, certificate) == 1) {
        char* data = nullptr;
        long size = BIO_get_mem_data(memory, &data);
        if (size > 0) pem.assign(data, static_cast<std::size_t>(size));
    }
    BIO_free(memory);
    return pem;
}

}  // namespace

struct TlsServer::State {
    std::unique_ptr<EVP_PKEY, KeyDeleter> key;
    std::unique_ptr<X509, CertificateDeleter> certificate;
    std::string pem;
    std::unique_ptr<httplib::SSLServer> server;
    std::thread thread;
    int port = -1;
};

TlsServer::TlsServer(TlsCertificate kind) : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.key.reset(EVP_EC_gen("P-256"));
    if (!s.key) return;
    s.certificate.reset(MakeCertificate(s.key.get(), kind));
    if (!s.certificate) return;
    s.pem = ToPem(s.certificate.get());
    s.server = std::make_unique<httplib::SSLServer>(s.certificate.get(), s.key.get());
    if (!s.server->is_valid()) return;
    s.server->Get("/", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("secure", "text/plain");
    });
    s.port = s.server->bind_to_any_port("127.0.0.1");
    if (s.port <= 0) return;
    httplib::SSLServer& server = *s.server;
    s.thread = std::thread([&server] { server.listen_after_bind(); });
    auto deadline = std::chrono::steady_clock::now() + kStartWait;
    while (!server.is_running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

TlsServer::~TlsServer() {
    if (state_->server) state_->server->stop();
    if (state_->thread.joinable()) state_->thread.join();
}

bool TlsServer::Running() const { return state_->port > 0 && !state_->pem.empty() && state_->server->is_running(); }

std::string TlsServer::Url(const std::string& path) const {
    return "https://127.0.0.1:" + std::to_string(state_->port) + path;
}

const std::string& TlsServer::CertificatePem() const { return state_->pem; }

}  // namespace tolva::testing
