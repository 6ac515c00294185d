#pragma once

#include <initializer_list>
#include <string_view>

#include "station/shell_services.h"
#include "text/text_keys.h"

namespace qrv::shell {

// A message popup under the product banner.
void Tell(const ShellServices& services, int taal, std::string_view message);
void Tell(const ShellServices& services, int taal, text::Key message);

// A question under the product banner with the buttons named by their keys;
// returns the number (1..) of the button chosen.
int Ask(const ShellServices& services, int taal, std::string_view question,
        std::initializer_list<text::Key> buttons, int enterChoice, int escapeChoice);
int Ask(const ShellServices& services, int taal, text::Key question,
        std::initializer_list<text::Key> buttons, int enterChoice, int escapeChoice);

}  // namespace qrv::shell
