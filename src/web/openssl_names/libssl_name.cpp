// Loaded under the name libssl.so (its SONAME) and linked to OpenSSL 3's
// libssl.so.3, so that civetweb's run-time lookup of "libssl.so" finds this
// object already loaded, and every symbol it asks for in OpenSSL 3's library
// behind it. The one symbol OpenSSL 3 no longer exports is added here: without
// it, civetweb calls a null pointer on the first TLS connection.
#include <openssl/ssl.h>

// OpenSSL 3 renames the call to SSL_get1_peer_certificate by a macro; the
// exported name must be the old one.
#undef SSL_get_peer_certificate

extern "C" __attribute__((visibility("default"))) X509* SSL_get_peer_certificate(const SSL* ssl) {
    // Both return a reference the caller frees: only the name changed.
    return SSL_get1_peer_certificate(ssl);
}
