#include "verify/request_errors.h"

#include <curl/curl.h>

namespace tolva::request_error {

unsigned ErrorNumberForCurlCode(int curlCode, long serverReplyCode) {
    // Every result a transfer can end with names an outcome of its own, so a failed link lands
    // in a folder that says what happened; only results that say our own machinery failed
    // share kInternal.
    switch (static_cast<CURLcode>(curlCode)) {
        case CURLE_UNSUPPORTED_PROTOCOL:
            return kUnrecognizedScheme;
        case CURLE_URL_MALFORMAT:
            return kInvalidUrl;
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_PROXY:
            return kProxyUnreachable;
        case CURLE_COULDNT_RESOLVE_HOST:
            return kNameNotResolved;
        case CURLE_COULDNT_CONNECT:
        case CURLE_QUIC_CONNECT_ERROR:
            return kCannotConnect;
        case CURLE_GOT_NOTHING:
            return kNoReply;
        case CURLE_WEIRD_SERVER_REPLY:
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
        case CURLE_HTTP3:
        case CURLE_PARTIAL_FILE:
        case CURLE_BAD_CONTENT_ENCODING:
        case CURLE_FTP_BAD_FILE_LIST:
        // A transfer runs out of memory on a reply too big to hold (a header line over 100 KB).
        case CURLE_OUT_OF_MEMORY:
            return kInvalidServerResponse;
        case CURLE_OPERATION_TIMEDOUT:
            return kTimeout;
        case CURLE_TOO_MANY_REDIRECTS:
            return kRedirectFailed;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_FAIL_REWIND:
            return kConnectionReset;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CIPHER:
        case CURLE_USE_SSL_FAILED:
        case CURLE_SSL_SHUTDOWN_FAILED:
            return kSecureChannelError;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
            return kInvalidCertificateAuthority;
        case CURLE_SSL_CLIENTCERT:
            return kClientCertificateNeeded;
        case CURLE_LOGIN_DENIED:
        case CURLE_FTP_WEIRD_PASS_REPLY:
        case CURLE_AUTH_ERROR:
            return kLoginFailure;
        case CURLE_FTP_ACCEPT_FAILED:
        case CURLE_FTP_ACCEPT_TIMEOUT:
        case CURLE_FTP_WEIRD_PASV_REPLY:
        case CURLE_FTP_WEIRD_227_FORMAT:
        case CURLE_FTP_CANT_GET_HOST:
        case CURLE_FTP_PORT_FAILED:
            return kDataConnectionFailed;
        case CURLE_REMOTE_ACCESS_DENIED:
        case CURLE_FTP_COULDNT_RETR_FILE:
        case CURLE_REMOTE_FILE_NOT_FOUND:
        case CURLE_FTP_COULDNT_SET_TYPE:
        case CURLE_FTP_COULDNT_USE_REST:
        case CURLE_FTP_PRET_FAILED:
        case CURLE_QUOTE_ERROR:
            // The FTP server's own refusal, as WinInet's extended error reports it.
            return serverReplyCode >= 400 && serverReplyCode <= 999 ? static_cast<unsigned>(serverReplyCode)
                                                                    : kServerRefused;
        default:
            return kInternal;
    }
}

}  // namespace tolva::request_error
