#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qrv::web {

// A request's head (its request line and header lines) is refused beyond this.
inline constexpr std::size_t kMaxHeadBytes = std::size_t{16} * 1024;

enum class HeadState {
    kIncomplete,
    kComplete,
    kMalformed,
    kTooLarge,
    // A body without a Content-Length (chunked or otherwise encoded): no
    // page sends one, and framing by two rules at once is how a request is
    // smuggled past a proxy.
    kNoLength,
    // An HTTP/1.1 request without a Host, or any with two: which site is
    // meant is not for the station to guess.
    kBadHost,
};

// What the first bytes of a connection hold: the head still coming, a whole
// one of well-formed lines, one that no route should see (a malformed line, a
// Content-Length twice or not a number, a missing or doubled Host), one too
// large, or one whose body has no length.
// Looked at before the server library parses it, so that a refusal carries
// the same headers and JSON as the routes' own.
HeadState CheckRequestHead(std::string_view bytes);

// The answer to a head in that state: its status and why; none for a head
// still coming or a whole one.
struct HeadRefusal {
    int status = 0;
    std::string text;
};
std::optional<HeadRefusal> RefusalOf(HeadState state);

// A header value without the blanks and tabs HTTP allows around it.
std::string_view Trimmed(std::string_view text);

}  // namespace qrv::web
