#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace qrv::text::testing {

// Strict UTF-8 decoding, kept apart from the production code so that the
// checks on the catalogue do not trust what they check. nullopt for any
// malformed, overlong or surrogate sequence.
inline std::optional<std::vector<char32_t>> DecodeUtf8(std::string_view text) {
    std::vector<char32_t> code_points;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto lead = static_cast<unsigned char>(text[at]);
        int extra = 0;
        char32_t value = 0;
        char32_t smallest = 0;
        if (lead < 0x80) {
            value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            value = lead & 0x1F;
            smallest = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            value = lead & 0x0F;
            smallest = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            value = lead & 0x07;
            smallest = 0x10000;
        } else {
            return std::nullopt;
        }
        if (at + static_cast<std::size_t>(extra) >= text.size()) {
            return std::nullopt;
        }
        for (int i = 1; i <= extra; ++i) {
            const auto next = static_cast<unsigned char>(text[at + static_cast<std::size_t>(i)]);
            if ((next & 0xC0) != 0x80) {
                return std::nullopt;
            }
            value = (value << 6) | (next & 0x3F);
        }
        if (extra > 0 && value < smallest) {
            return std::nullopt;
        }
        if ((value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
            return std::nullopt;
        }
        code_points.push_back(value);
        at += static_cast<std::size_t>(extra) + 1;
    }
    return code_points;
}

// True when the code point has a Windows-1252 byte and is printable (or the
// line feed that separates the lines of a pop-up text).
inline bool IsPrintableWindows1252(char32_t c) {
    if (c == U'\n' || (c >= 0x20 && c <= 0x7E) || (c >= 0xA0 && c <= 0xFF)) {
        return true;
    }
    constexpr std::u32string_view kUpperHalfExtras =
        U"\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u017D"
        U"\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u017E\u0178";
    return kUpperHalfExtras.find(c) != std::u32string_view::npos;
}

inline std::size_t CodePointCount(std::string_view text) {
    const auto decoded = DecodeUtf8(text);
    return decoded ? decoded->size() : 0;
}

}  // namespace qrv::text::testing
