#include "web/request_head.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace qrv::web {

namespace {

// RFC 9110 tchar: what a method and a header name are made of.
bool IsTokenChar(char c) {
    static constexpr std::string_view kMarks = "!#$%&'*+-.^_`|~";
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
           kMarks.find(c) != std::string_view::npos;
}

bool IsToken(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), IsTokenChar);
}

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
}

bool IsRequestLine(std::string_view line) {
    const std::size_t first = line.find(' ');
    const std::size_t last = line.rfind(' ');
    if (first == std::string_view::npos || first == last) {
        return false;
    }
    const std::string_view target = line.substr(first + 1, last - first - 1);
    const std::string_view version = line.substr(last + 1);
    return IsToken(line.substr(0, first)) && !target.empty() &&
           std::none_of(target.begin(), target.end(),
                        [](char c) { return c == ' ' || IsControl(c); }) &&
           (version == "HTTP/1.1" || version == "HTTP/1.0");
}

bool IsHeaderLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos || !IsToken(line.substr(0, colon))) {
        return false;
    }
    const std::string_view value = line.substr(colon + 1);
    return std::none_of(value.begin(), value.end(),
                        [](char c) { return c != '\t' && IsControl(c); });
}

bool IsDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool NameIs(std::string_view line, std::string_view lowerName) {
    return line.size() > lowerName.size() && line[lowerName.size()] == ':' &&
           std::equal(lowerName.begin(), lowerName.end(), line.begin(), [](char a, char b) {
               return a == static_cast<char>(std::tolower(static_cast<unsigned char>(b)));
           });
}

}  // namespace

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

HeadState CheckRequestHead(std::string_view bytes) {
    // Empty lines before the request line are allowed and skipped.
    while (bytes.starts_with("\r\n") || bytes.starts_with("\n")) {
        bytes.remove_prefix(bytes.front() == '\r' ? 2 : 1);
    }
    bool first = true;
    bool encoded = false;
    bool http11 = false;
    int lengths = 0;
    int hosts = 0;
    std::size_t used = 0;
    while (used < bytes.size() && used <= kMaxHeadBytes) {
        const std::size_t end = bytes.find('\n', used);
        if (end == std::string_view::npos) {
            break;
        }
        std::string_view line = bytes.substr(used, end - used);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        used = end + 1;
        if (used > kMaxHeadBytes) {
            return HeadState::kTooLarge;
        }
        if (line.empty()) {
            if (first) {
                return HeadState::kMalformed;
            }
            if (hosts > 1 || (http11 && hosts == 0)) {
                return HeadState::kBadHost;
            }
            return encoded ? HeadState::kNoLength : HeadState::kComplete;
        }
        if (!(first ? IsRequestLine(line) : IsHeaderLine(line))) {
            return HeadState::kMalformed;
        }
        if (!first && NameIs(line, "content-length") &&
            (++lengths > 1 || !IsDigits(Trimmed(line.substr(line.find(':') + 1))))) {
            return HeadState::kMalformed;
        }
        encoded = encoded || (!first && NameIs(line, "transfer-encoding"));
        hosts += !first && NameIs(line, "host") ? 1 : 0;
        http11 = http11 || (first && line.ends_with(" HTTP/1.1"));
        first = false;
    }
    return bytes.size() > kMaxHeadBytes ? HeadState::kTooLarge : HeadState::kIncomplete;
}

std::optional<HeadRefusal> RefusalOf(HeadState state) {
    switch (state) {
        case HeadState::kIncomplete:
        case HeadState::kComplete:
            return std::nullopt;
        case HeadState::kMalformed:
            return HeadRefusal{400, "the request is malformed"};
        case HeadState::kBadHost:
            return HeadRefusal{400, "the request must name its host once"};
        case HeadState::kTooLarge:
            return HeadRefusal{431, "the request's head is too large"};
        case HeadState::kNoLength:
            return HeadRefusal{411, "a body must come with its Content-Length"};
    }
    return std::nullopt;
}

}  // namespace qrv::web
