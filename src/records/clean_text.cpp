#include "records/clean_text.h"

#include <fmt/format.h>

namespace qrv::records {

namespace {

// The length of the control character at text[i], 0 when there is none.
std::size_t ControlAt(std::string_view text, std::size_t i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
        return 1;
    }
    // U+0080..U+009F are C2 80..C2 9F in UTF-8.
    if (c == 0xC2 && i + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[i + 1]);
        return next >= 0x80 && next <= 0x9F ? 2 : 0;
    }
    return 0;
}

}  // namespace

bool HasControlCharacter(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (ControlAt(text, i) != 0) {
            return true;
        }
    }
    return false;
}

std::string VisibleText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t length = ControlAt(text, i);
        if (length == 0) {
            out.push_back(text[i++]);
            continue;
        }
        for (std::size_t k = 0; k < length; ++k, ++i) {
            out += fmt::format("\\x{:02X}", static_cast<unsigned char>(text[i]));
        }
    }
    return out;
}

}  // namespace qrv::records
