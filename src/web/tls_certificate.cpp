#include "web/tls_certificate.h"

#include <array>

#include <fmt/format.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace qrv::web {

namespace {

// OpenSSL's reason for the last failure, and an empty error queue after it:
// the queue is per thread and a later check must not read this one's errors.
std::string OpenSslReason() {
    std::array<char, 256> text{};
    const unsigned long error = ERR_get_error();
    ERR_clear_error();
    if (error == 0) {
        return "unknown error";
    }
    ERR_error_string_n(error, text.data(), text.size());
    return text.data();
}

}  // namespace

std::string UseServerCertificate(void* sslContext, const std::string& certFile,
                                 const std::string& keyFile) {
    auto* context = static_cast<SSL_CTX*>(sslContext);
    ERR_clear_error();
    if (SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1) {
        return "cannot require TLS 1.2: " + OpenSslReason();
    }
    if (SSL_CTX_use_certificate_chain_file(context, certFile.c_str()) != 1) {
        return fmt::format("cannot use the certificate {}: {}", certFile, OpenSslReason());
    }
    const bool keyTaken =
        SSL_CTX_use_PrivateKey_file(context, keyFile.c_str(), SSL_FILETYPE_PEM) == 1;
    const unsigned long keyError = ERR_peek_last_error();
    const bool mismatch = ERR_GET_LIB(keyError) == ERR_LIB_X509 &&
                          ERR_GET_REASON(keyError) == X509_R_KEY_VALUES_MISMATCH;
    if (mismatch || (keyTaken && SSL_CTX_check_private_key(context) != 1)) {
        ERR_clear_error();
        return fmt::format("the private key {} does not belong to the certificate {}", keyFile,
                           certFile);
    }
    if (!keyTaken) {
        return fmt::format("cannot use the private key {}: {}", keyFile, OpenSslReason());
    }
    return {};
}

}  // namespace qrv::web
