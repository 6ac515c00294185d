#pragma once

#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>

namespace qrv::report {

inline constexpr int kExitBadArguments = 2;

using CommandArgs = std::span<const std::string_view>;

struct Command {
    std::string_view name;
    std::string_view usage;
    std::string_view summary;
    int (*run)(const std::filesystem::path& station, CommandArgs args, std::FILE* out);
};

// Every subcommand of the tool, in the order the usage lists them.
std::span<const Command> Commands();

}  // namespace qrv::report
