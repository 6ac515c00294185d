#pragma once

#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace qrv::testing {

// What poppler's pdftotext and pdfinfo read from a PDF file: the witness that
// a printed page holds the expected texts, independent of the code that
// painted it.
inline std::string RunForOutput(const std::string& command) {
    std::string output;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return output;
}

// Runs of blanks become one blank, so that texts laid out in columns compare
// with the lines they were built from.
inline std::string Squeezed(const std::string& text) {
    return std::regex_replace(text, std::regex("[ \t]+"), " ");
}

// The text of the pages first..last (1-based), blanks squeezed.
inline std::string PdfText(const std::filesystem::path& pdf, int first, int last) {
    return Squeezed(RunForOutput("pdftotext -layout -enc UTF-8 -f " + std::to_string(first) +
                                 " -l " + std::to_string(last) + " '" + pdf.string() + "' -"));
}

// The height in points of every occurrence of word on each page, as the
// extractor boxes it: the witness of the font size a page was printed in.
inline std::vector<std::vector<double>> PdfWordHeights(const std::filesystem::path& pdf,
                                                       const std::string& word) {
    const std::string html = RunForOutput("pdftotext -bbox '" + pdf.string() + "' -");
    std::vector<std::vector<double>> pages;
    const std::regex item(
        R"re(<page |<word xMin="[\d.]+" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">([^<]*)</word>)re");
    for (std::sregex_iterator it(html.begin(), html.end(), item), end; it != end; ++it) {
        if ((*it)[0].str() == "<page ") {
            pages.emplace_back();
        } else if ((*it)[3].str() == word && !pages.empty()) {
            pages.back().push_back(std::stod((*it)[2]) - std::stod((*it)[1]));
        }
    }
    return pages;
}

struct PdfPage {
    double width = 0;
    double height = 0;
    bool Landscape() const { return width > height; }
};

// The size of every page in points.
inline std::vector<PdfPage> PdfPages(const std::filesystem::path& pdf) {
    const std::string info = RunForOutput("pdfinfo -f 1 -l 100000 '" + pdf.string() + "'");
    std::vector<PdfPage> pages;
    const std::regex size(R"(Page +\d+ size: +([\d.]+) x ([\d.]+))");
    for (std::sregex_iterator it(info.begin(), info.end(), size), end; it != end; ++it) {
        pages.push_back({std::stod((*it)[1]), std::stod((*it)[2])});
    }
    return pages;
}

}  // namespace qrv::testing
