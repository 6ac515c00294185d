#pragma once

#include <string>

namespace qrv::web {

// Puts the server's certificate (with its chain, PEM) and private key (PEM)
// into an OpenSSL server context and allows TLS 1.2 and later only. Returns
// what is wrong, naming the file, or nothing when the context may serve.
std::string UseServerCertificate(void* sslContext, const std::string& certFile,
                                 const std::string& keyFile);

}  // namespace qrv::web
