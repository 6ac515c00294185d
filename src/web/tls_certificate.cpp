#include "web/tls_certificate.h"

#include <fstream>
#include <iterator>
#include <memory>
#include <optional>

#include <fmt/format.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>

namespace qrv::web {

namespace {

std::optional<std::string> ReadWhole(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Whether the PEM text holds at least one certificate; else GnuTLS's reason.
std::string CertificateProblem(const std::string& pem) {
    gnutls_x509_crt_t* list = nullptr;
    unsigned count = 0;
    const gnutls_datum_t data = Datum(pem);
    const int result = gnutls_x509_crt_list_import2(&list, &count, &data, GNUTLS_X509_FMT_PEM, 0);
    for (unsigned i = 0; i < count; ++i) {
        gnutls_x509_crt_deinit(list[i]);
    }
    gnutls_free(list);
    if (result < 0) {
        return gnutls_strerror(result);
    }
    return count == 0 ? "no certificate in it" : "";
}

std::string KeyProblem(const std::string& pem) {
    gnutls_x509_privkey_t key = nullptr;
    if (gnutls_x509_privkey_init(&key) < 0) {
        return "out of memory";
    }
    const gnutls_datum_t data = Datum(pem);
    const int result = gnutls_x509_privkey_import2(key, &data, GNUTLS_X509_FMT_PEM, nullptr, 0);
    gnutls_x509_privkey_deinit(key);
    return result < 0 ? gnutls_strerror(result) : "";
}

// Whether GnuTLS takes the two as one server's credentials.
int PairResult(const std::string& certPem, const std::string& keyPem) {
    gnutls_certificate_credentials_t credentials = nullptr;
    if (gnutls_certificate_allocate_credentials(&credentials) < 0) {
        return GNUTLS_E_MEMORY_ERROR;
    }
    const gnutls_datum_t cert = Datum(certPem);
    const gnutls_datum_t key = Datum(keyPem);
    const int result = gnutls_certificate_set_x509_key_mem2(credentials, &cert, &key,
                                                            GNUTLS_X509_FMT_PEM, nullptr, 0);
    gnutls_certificate_free_credentials(credentials);
    return result;
}

}  // namespace

ServerCertificate ReadServerCertificate(const std::string& certFile, const std::string& keyFile) {
    ServerCertificate out;
    const std::optional<std::string> cert = ReadWhole(certFile);
    const std::string certProblem = cert ? CertificateProblem(*cert) : "cannot read it";
    if (!certProblem.empty()) {
        out.problem = fmt::format("cannot use the certificate {}: {}", certFile, certProblem);
        return out;
    }
    const std::optional<std::string> key = ReadWhole(keyFile);
    const std::string keyProblem = key ? KeyProblem(*key) : "cannot read it";
    if (!keyProblem.empty()) {
        out.problem = fmt::format("cannot use the private key {}: {}", keyFile, keyProblem);
        return out;
    }
    const int pair = PairResult(*cert, *key);
    if (pair == GNUTLS_E_CERTIFICATE_KEY_MISMATCH) {
        out.problem = fmt::format("the private key {} does not belong to the certificate {}",
                                  keyFile, certFile);
    } else if (pair < 0) {
        out.problem = fmt::format("cannot use the certificate {} with the key {}: {}", certFile,
                                  keyFile, gnutls_strerror(pair));
    } else {
        out.certPem = *cert;
        out.keyPem = *key;
    }
    return out;
}

}  // namespace qrv::web
