#include "probe_editor/probe_name.h"

#include <fmt/format.h>

#include "runtime/encoding.h"
#include "text/texts.h"

namespace qrv {

namespace {

bool HasControlCharacter(std::string_view utf8) {
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if (byte < 0x20 || byte == 0x7F) {
            return true;
        }
        // U+0080..U+009F, the C1 controls, are C2 80..C2 9F in UTF-8.
        if (byte == 0xC2 && i + 1 < utf8.size()) {
            const auto next = static_cast<unsigned char>(utf8[i + 1]);
            if (next >= 0x80 && next <= 0x9F) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::string CleanProbeName(std::string_view typed) {
    const std::size_t lineEnd = typed.find_first_of("\r\n");
    std::string_view name = typed.substr(0, lineEnd);
    const std::size_t last = name.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string() : std::string(name.substr(0, last + 1));
}

NameCheck CheckStoredName(std::string_view name, std::size_t maxChars) {
    if (name.empty()) {
        return NameCheck::kEmpty;
    }
    if (Utf8Length(name) > maxChars || HasControlCharacter(name) ||
        Cp1252ToUtf8(Utf8ToCp1252(name)) != name) {
        return NameCheck::kNotStorable;
    }
    return NameCheck::kOk;
}

std::string NotStorableMessage(std::string_view text, int taal) {
    const std::string missing = CharactersNotInCp1252(text);
    if (missing.empty()) {
        return text::Plain(text::Key::TXT_NAME_NOT_STORABLE, taal);
    }
    return fmt::format(fmt::runtime(text::Plain(text::Key::TXT_NOT_IN_CP1252, taal)), missing);
}

}  // namespace qrv
