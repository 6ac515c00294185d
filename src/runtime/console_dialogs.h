#pragma once

#include <cstdio>

#include "runtime/dialogs.h"

namespace qrv {

// Dialogs for the command-line tools: messages go to a stream (stderr), and
// questions take their Enter choice, since nobody is there to answer.
class ConsoleDialogs final : public Dialogs {
  public:
    explicit ConsoleDialogs(std::FILE* out = stderr) : out_(out) {}

    void MessagePopup(std::string_view title, std::string_view message) override;
    int GenericMessagePopup(std::string_view title, std::string_view message,
                            const std::vector<std::string>& buttons, int enterChoice,
                            int escapeChoice) override;
    std::optional<std::string> PromptPopup(std::string_view, std::string_view, int,
                                           std::string_view) override {
        return std::nullopt;
    }
    std::optional<std::string> FileSelectPopup(std::string_view, const std::string&,
                                               std::string_view, std::string_view, bool) override {
        return std::nullopt;
    }
    std::optional<PrintTarget> PrinterDialog(std::string_view, std::string_view) override {
        return std::nullopt;
    }

  private:
    std::FILE* out_;
};

}  // namespace qrv
