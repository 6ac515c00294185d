// Loaded under the name libcrypto.so (its SONAME) and linked to OpenSSL 3's
// libcrypto.so.3: civetweb looks up "libcrypto.so" at run time, a name that
// only OpenSSL's development package installs. Everything it asks for is in
// libcrypto.so.3, so this object adds nothing of its own.
