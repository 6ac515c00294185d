#include "runtime/console_dialogs.h"

#include <fmt/format.h>

namespace qrv {

void ConsoleDialogs::MessagePopup(std::string_view title, std::string_view message) {
    fmt::print(out_, "{}: {}\n", title, message);
}

int ConsoleDialogs::GenericMessagePopup(std::string_view title, std::string_view message,
                                        const std::vector<std::string>&, int enterChoice, int) {
    fmt::print(out_, "{}: {}\n", title, message);
    return enterChoice;
}

}  // namespace qrv
