#pragma once

#include <string>
#include <string_view>

namespace qrv::records {

// Whether the text holds a control character: the C0 range with tab, CR and
// LF, DEL, or a C1 character written in UTF-8. A record's texts are shown
// one per line and field, so such a character could make one entry look
// like two, or hide part of it.
bool HasControlCharacter(std::string_view text);

// The text as a listing may show it: every control character written as
// \xNN, so a text in an old trail can never pass for a line or column break.
std::string VisibleText(std::string_view text);

}  // namespace qrv::records
