#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace qrv::web {

// The dashboard's pages, CSS and scripts, and Debian's Chart.js.
class StaticFiles {
  public:
    StaticFiles(std::filesystem::path root, std::filesystem::path chartJs)
        : root_(std::move(root)), chartJs_(std::move(chartJs)) {}

    // The installed pages: [web] root when set, else beside the program
    // (../share/quorvanel/web from its directory, or web/ of a build tree),
    // else /usr/share/quorvanel/web.
    static std::filesystem::path FindRoot(const std::string& configured,
                                          const std::filesystem::path& programDirectory);
    // Debian's Chart.js, the minified build when it is there.
    static std::filesystem::path FindChartJs();

    // The file a URL path names, or none when it names nothing below the root
    // (a parent step, a hidden name, a character no page file has).
    std::optional<std::filesystem::path> Resolve(std::string_view urlPath) const;
    const std::filesystem::path& Root() const { return root_; }

  private:
    std::filesystem::path root_;
    std::filesystem::path chartJs_;
};

std::string_view ContentTypeOf(const std::filesystem::path& file);
// Whether a URL path is a page (answered with a redirect to the login page
// rather than 401 when there is no session).
bool IsPagePath(std::string_view urlPath);
// Whether a URL path may be fetched without a session: the login page and
// what it needs.
bool IsPublicPath(std::string_view urlPath);

}  // namespace qrv::web
