#include "runtime/station_writer.h"

#include <fmt/format.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>

namespace qrv {

namespace {

std::string UserName(uid_t user) {
    passwd entry{};
    passwd* found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        return found->pw_name;
    }
    return "#" + std::to_string(user);
}

bool NeedsQuotes(std::string_view word) {
    return word.empty() || word.find_first_not_of(
                               "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTU"
                               "VWXYZ0123456789-_./=:,@+%") != std::string_view::npos;
}

}  // namespace

WriterIdentity WriterIdentity::OfThisProcess() {
    WriterIdentity identity{::geteuid(), {::getegid()}};
    const int count = ::getgroups(0, nullptr);
    if (count > 0) {
        std::vector<gid_t> more(static_cast<std::size_t>(count));
        const int got = ::getgroups(count, more.data());
        more.resize(static_cast<std::size_t>(std::max(got, 0)));
        identity.groups.insert(identity.groups.end(), more.begin(), more.end());
    }
    return identity;
}

std::string ShellCommandLine(const std::vector<std::string>& command) {
    std::string line;
    for (const std::string& word : command) {
        if (!line.empty()) {
            line += ' ';
        }
        if (!NeedsQuotes(word)) {
            line += word;
            continue;
        }
        line += '\'';
        for (const char c : word) {
            line += c == '\'' ? std::string("'\\''") : std::string(1, c);
        }
        line += '\'';
    }
    return line;
}

std::string StationWriteRefusal(const std::filesystem::path& station, StationWriters writers,
                                const WriterIdentity& writer,
                                const std::vector<std::string>& command) {
    struct stat info {};
    if (::stat(station.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        return {};
    }
    if (info.st_uid == writer.user) {
        return {};
    }
    const bool inGroup =
        std::find(writer.groups.begin(), writer.groups.end(), info.st_gid) != writer.groups.end();
    if (writers == StationWriters::kOwnerOrGroup && writer.user != 0 && inGroup &&
        (info.st_mode & S_IWGRP) != 0) {
        return {};
    }
    const std::string owner = UserName(info.st_uid);
    return fmt::format(
        "{} belongs to the user {}: files written there as {} would be ones {} cannot write. "
        "Run it as {}:\n  sudo -u {} {}\n(or add --force to write there all the same)",
        station.string(), owner, UserName(writer.user), owner, owner, owner,
        ShellCommandLine(command));
}

}  // namespace qrv
