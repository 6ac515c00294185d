#include "runtime/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <stdexcept>
#include <vector>

namespace qrv {

namespace {

struct IconvCloser {
    void operator()(iconv_t cd) const { iconv_close(cd); }
};
using IconvHandle = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

IconvHandle OpenConverter(const char* to, const char* from) {
    iconv_t cd = iconv_open(to, from);
    if (cd ==
        reinterpret_cast<iconv_t>(-1)) {  // NOLINT(performance-no-int-to-ptr): iconv's error value
        throw std::runtime_error(std::string("iconv cannot convert from ") + from + " to " + to);
    }
    return IconvHandle(cd);
}

// Length of the UTF-8 sequence that starts with lead, 1 for a stray byte.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80)
        return 1;
    if ((lead & 0xE0) == 0xC0)
        return 2;
    if ((lead & 0xF0) == 0xE0)
        return 3;
    if ((lead & 0xF8) == 0xF0)
        return 4;
    return 1;
}

// Converts with iconv, replacing every input unit that cannot be converted by
// '?' and skipping it (one byte for CP1252 input, one UTF-8 sequence for UTF-8).
std::string Convert(std::string_view input, const char* to, const char* from, bool inputIsUtf8) {
    if (input.empty()) {
        return {};
    }
    IconvHandle cd = OpenConverter(to, from);
    std::string output;
    output.reserve(input.size() * (inputIsUtf8 ? 1 : 2) + 4);
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[512];
    while (inLeft > 0) {
        char* out = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t rc = iconv(cd.get(), &in, &inLeft, &out, &outLeft);
        output.append(buffer, static_cast<std::size_t>(out - buffer));
        if (rc != static_cast<std::size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        // EILSEQ or EINVAL: an input unit that cannot be converted.
        output.push_back('?');
        std::size_t skip = inputIsUtf8 ? SequenceLength(static_cast<unsigned char>(*in)) : 1;
        skip = std::min(skip, inLeft);
        in += skip;
        inLeft -= skip;
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
    return output;
}

}  // namespace

std::string Utf8ToCp1252(std::string_view utf8) {
    bool ascii = true;
    for (char c : utf8) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    return ascii ? std::string(utf8) : Convert(utf8, "WINDOWS-1252", "UTF-8", true);
}

std::string Cp1252ToUtf8(std::string_view cp1252) {
    bool ascii = true;
    for (char c : cp1252) {
        ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    }
    return ascii ? std::string(cp1252) : Convert(cp1252, "UTF-8", "WINDOWS-1252", false);
}

std::string CharactersNotInCp1252(std::string_view utf8) {
    std::vector<std::string> seen;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        std::size_t end = pos + 1;
        while (end < utf8.size() && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
            ++end;
        }
        std::string character(utf8.substr(pos, end - pos));
        pos = end;
        if (Cp1252ToUtf8(Utf8ToCp1252(character)) == character) {
            continue;
        }
        if (character.size() == 1) {
            character = "\uFFFD";  // a byte that starts no UTF-8 character
        }
        if (std::find(seen.begin(), seen.end(), character) == seen.end()) {
            seen.push_back(std::move(character));
        }
    }
    std::string listed;
    for (const std::string& character : seen) {
        listed += (listed.empty() ? "" : " ") + character;
    }
    return listed;
}

std::size_t Utf8Length(std::string_view utf8) {
    std::size_t count = 0;
    for (char c : utf8) {
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return count;
}

std::string Utf8Left(std::string_view utf8, std::size_t maxChars) {
    std::size_t chars = 0;
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        if ((static_cast<unsigned char>(utf8[pos]) & 0xC0) != 0x80) {
            if (chars == maxChars) {
                break;
            }
            ++chars;
        }
        ++pos;
    }
    return std::string(utf8.substr(0, pos));
}

std::string BlankControlCharacters(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = ' ';
        }
    }
    return result;
}

}  // namespace qrv
