#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <fmt/format.h>
#include <toml++/toml.h>

namespace qrv {

// Collects the problems of quorvanel.toml as "FILE:LINE: KEY: what is wrong".
class ConfigProblems {
  public:
    ConfigProblems(const std::string& fileName, std::vector<std::string>& lines)
        : fileName_(fileName), lines_(lines) {}

    void Add(const toml::source_region& where, std::string_view key, std::string_view what) {
        lines_.push_back(fmt::format("{}:{}: {}: {}", fileName_, where.begin.line, key, what));
    }
    void Add(const toml::node& where, std::string_view key, std::string_view what) {
        Add(where.source(), key, what);
    }
    // "FILE:LINE" of a node, for a check that can only be made later.
    std::string Where(const toml::node& node) const {
        return fmt::format("{}:{}", fileName_, node.source().begin.line);
    }

  private:
    const std::string& fileName_;
    std::vector<std::string>& lines_;
};

}  // namespace qrv
