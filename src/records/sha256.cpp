#include "records/sha256.h"

#include <openssl/evp.h>

#include <array>

namespace qrv::records {

std::string Sha256Hex(std::string_view bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    // EVP_Digest cannot fail for SHA-256 on memory short of an allocation
    // failure; an empty digest then breaks the chain visibly rather than
    // silently sealing a line with a wrong value.
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) !=
        1) {
        return {};
    }
    static constexpr std::string_view kHex = "0123456789abcdef";
    std::string text;
    text.reserve(2 * length);
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(kHex[digest[i] >> 4]);
        text.push_back(kHex[digest[i] & 0x0F]);
    }
    return text;
}

}  // namespace qrv::records
