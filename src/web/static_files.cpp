#include "web/static_files.h"

#include <algorithm>
#include <array>
#include <utility>

namespace qrv::web {

namespace {

bool SafeSegment(std::string_view segment) {
    return !segment.empty() && segment.front() != '.' &&
           std::all_of(segment.begin(), segment.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '.' || c == '_' || c == '-';
           });
}

}  // namespace

std::filesystem::path StaticFiles::FindRoot(const std::string& configured,
                                            const std::filesystem::path& programDirectory) {
    if (!configured.empty()) {
        return configured;
    }
    std::error_code error;
    for (const std::filesystem::path& candidate :
         {programDirectory / ".." / "share" / "quorvanel" / "web", programDirectory / "web",
          programDirectory / ".." / "web"}) {
        if (std::filesystem::is_regular_file(candidate / "index.html", error)) {
            return std::filesystem::weakly_canonical(candidate, error);
        }
    }
    return "/usr/share/quorvanel/web";
}

std::filesystem::path StaticFiles::FindChartJs() {
    std::error_code error;
    for (const char* name : {"/usr/share/javascript/chart.js/chart.min.js",
                             "/usr/share/javascript/chart.js/chart.js"}) {
        if (std::filesystem::is_regular_file(name, error)) {
            return name;
        }
    }
    return "/usr/share/javascript/chart.js/chart.min.js";
}

std::optional<std::filesystem::path> StaticFiles::Resolve(std::string_view urlPath) const {
    if (urlPath == "/vendor/chart.js") {
        return chartJs_;
    }
    // Asked for by browsers on their own, before any page names its icon.
    if (urlPath == "/favicon.ico") {
        return root_ / "assets" / "icon.svg";
    }
    if (urlPath.empty() || urlPath.front() != '/') {
        return std::nullopt;
    }
    std::string_view rest = urlPath.substr(1);
    if (rest.empty()) {
        return root_ / "index.html";
    }
    std::filesystem::path file = root_;
    while (!rest.empty()) {
        const std::size_t slash = rest.find('/');
        const std::string_view segment = rest.substr(0, slash);
        if (!SafeSegment(segment)) {
            return std::nullopt;
        }
        file /= std::string(segment);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (slash != std::string_view::npos && rest.empty()) {
            return std::nullopt;
        }
    }
    return file;
}

std::string_view ContentTypeOf(const std::filesystem::path& file) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 11> kTypes{{
        {".html", "text/html; charset=utf-8"},
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".mjs", "text/javascript; charset=utf-8"},
        {".json", "application/json"},
        {".svg", "image/svg+xml"},
        {".png", "image/png"},
        {".ico", "image/x-icon"},
        {".woff2", "font/woff2"},
        {".txt", "text/plain; charset=utf-8"},
        {".webmanifest", "application/manifest+json"},
    }};
    const std::string extension = file.extension().string();
    for (const auto& [suffix, type] : kTypes) {
        if (extension == suffix) {
            return type;
        }
    }
    return "application/octet-stream";
}

bool IsPagePath(std::string_view urlPath) {
    return urlPath == "/" || urlPath.ends_with(".html");
}

bool IsPublicPath(std::string_view urlPath) {
    return urlPath == "/login.html" || urlPath == "/login.js" || urlPath == "/login.css" ||
           urlPath == "/favicon.ico" || urlPath.starts_with("/assets/");
}

}  // namespace qrv::web
