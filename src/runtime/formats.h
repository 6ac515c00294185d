#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace qrv::notation {

// Helpers that reproduce the format notation the station's files and texts
// were defined with, so every file line stays byte-identical with files of
// older installations.

// "%f[pNwM]": fixed point with `precision` decimals, right-aligned in `width`
// (wider values are not cut). "%f" alone is precision 6, no width.
std::string Real(double value, int precision = 6, int width = 0);

// "%i[wN]" (blank padded) and "%i[wNp0]" (zero padded, e.g. "%i[w10p0]" of 1 is
// "0000000001"); "%d[wN]" is the same as "%i[wN]". Width 0: no padding.
std::string Int(long long value, int width = 0, bool zeroPad = false);

// Target "[wN]": exactly N characters, cut or padded with blanks on the right.
std::string Fit(std::string_view text, std::size_t width);

// Source "[wN]": at most N characters, no padding.
std::string_view Take(std::string_view text, std::size_t width);

// "%s>%i": an optionally signed decimal integer after leading blanks; the
// digits end at the first other character. nullopt when there is none.
std::optional<int> ScanInt(std::string_view text);

// "%s>%f": a real number after leading blanks (decimal point, optional
// exponent); nullopt when there is none.
std::optional<double> ScanReal(std::string_view text);

// "%s>%s": the first blank-delimited word (empty when there is none).
std::string_view ScanWord(std::string_view text);

}  // namespace qrv::notation
