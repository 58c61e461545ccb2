#pragma once
// The error numbers a failed request reports, in the numbering the error table and the stored
// error folders have always used (WinInet's). A server's own reply code (an FTP refusal) may
// stand instead; every number of ours lies in [kFirstRequestError, kEndRequestErrors).

namespace tolva::request_error {

inline constexpr unsigned kFirstRequestError = 12000;
inline constexpr unsigned kEndRequestErrors = 13000;

inline constexpr unsigned kTimeout = 12002;
inline constexpr unsigned kServerRefused = 12003;
inline constexpr unsigned kInternal = 12004;
inline constexpr unsigned kInvalidUrl = 12005;
inline constexpr unsigned kUnrecognizedScheme = 12006;
inline constexpr unsigned kNameNotResolved = 12007;
inline constexpr unsigned kLoginFailure = 12015;
inline constexpr unsigned kCannotConnect = 12029;
inline constexpr unsigned kNoReply = 12030;
inline constexpr unsigned kConnectionReset = 12031;
inline constexpr unsigned kCertificateDateInvalid = 12037;
inline constexpr unsigned kCertificateNameInvalid = 12038;
inline constexpr unsigned kClientCertificateNeeded = 12044;
inline constexpr unsigned kInvalidCertificateAuthority = 12045;
inline constexpr unsigned kDataConnectionFailed = 12111;
inline constexpr unsigned kInvalidServerResponse = 12152;
inline constexpr unsigned kRedirectFailed = 12156;
inline constexpr unsigned kSecureChannelError = 12157;
inline constexpr unsigned kProxyUnreachable = 12165;

// The error number for a libcurl result (a CURLcode) that is not a success; serverReplyCode is
// the last reply code the server sent, which stands for an FTP refusal of 400 and above.
unsigned ErrorNumberForCurlCode(int curlCode, long serverReplyCode);

}  // namespace tolva::request_error
