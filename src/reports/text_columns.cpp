#include "reports/text_columns.h"

namespace qrv {

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

}  // namespace

std::size_t CharacterCount(std::string_view text) {
    std::size_t count = 0;
    for (char c : text) {
        count += IsContinuationByte(c) ? 0 : 1;
    }
    return count;
}

std::string_view TakeCharacters(std::string_view text, std::size_t width) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!IsContinuationByte(text[i])) {
            if (count == width) {
                return text.substr(0, i);
            }
            ++count;
        }
    }
    return text;
}

std::string FitCharacters(std::string_view text, std::size_t width) {
    std::string result(TakeCharacters(text, width));
    result.append(width - CharacterCount(result), ' ');
    return result;
}

}  // namespace qrv
