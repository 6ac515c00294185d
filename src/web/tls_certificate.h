#pragma once

#include <gnutls/gnutls.h>

#include <string>

namespace qrv::web {

// The server's certificate (with its chain) and private key as PEM text, as
// GnuTLS takes them, or what is wrong with them.
struct ServerCertificate {
    std::string certPem;
    std::string keyPem;
    // Empty when the pair may serve; else what is wrong, naming the file.
    std::string problem;
};

// Reads both files and checks that each parses and that the key belongs to
// the certificate, so that a bad pair is named at start rather than failing
// every handshake.
ServerCertificate ReadServerCertificate(const std::string& certFile, const std::string& keyFile);

// PEM text as GnuTLS takes it; GnuTLS only reads through it.
inline gnutls_datum_t Datum(const std::string& text) {
    return {reinterpret_cast<unsigned char*>(const_cast<char*>(text.data())),
            static_cast<unsigned>(text.size())};
}

}  // namespace qrv::web
