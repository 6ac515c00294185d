#pragma once

#include <string>

namespace qrv::web {

// The server's certificate (with its chain) and private key as PEM text, as
// the server library takes them, or what is wrong with them.
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

}  // namespace qrv::web
