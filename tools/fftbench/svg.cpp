#include "svg.h"

#include <fmt/format.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>

#if defined(_WIN32)
#define popen _popen
#define pclose _pclose
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fftbench {

std::string xmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&#39;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string svgNumber(double value) {
    if (std::fabs(value) < 0.005) return "0";
    std::string text = fmt::format("{:.2f}", value);
    while (text.back() == '0') text.pop_back();
    if (text.back() == '.') text.pop_back();
    return text;
}

SvgWriter::SvgWriter(double width, double height, std::string_view rootClass, std::string_view style) {
    out_ = fmt::format(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"{2}\" width=\"{0}\" height=\"{1}\" "
        "viewBox=\"0 0 {0} {1}\">\n",
        svgNumber(width), svgNumber(height), xmlEscape(rootClass));
    if (!style.empty()) out_ += "<style>\n" + std::string(style) + "</style>\n";
}

SvgWriter& SvgWriter::attr(std::string_view name, std::string_view value) {
    pending_ += fmt::format(" {}=\"{}\"", name, xmlEscape(value));
    return *this;
}

SvgWriter& SvgWriter::attr(std::string_view name, double value) { return attr(name, svgNumber(value)); }

void SvgWriter::element(std::string_view tag, const std::string& geometry, std::string_view content) {
    out_ += fmt::format("<{}{}{}", tag, geometry, pending_);
    pending_.clear();
    if (content.empty()) {
        out_ += "/>\n";
    } else {
        out_ += fmt::format(">{}</{}>\n", xmlEscape(content), tag);
    }
}

void SvgWriter::line(double x1, double y1, double x2, double y2) {
    element("line", fmt::format(" x1=\"{}\" y1=\"{}\" x2=\"{}\" y2=\"{}\"", svgNumber(x1), svgNumber(y1),
                                svgNumber(x2), svgNumber(y2)));
}

void SvgWriter::rect(double x, double y, double width, double height) {
    element("rect", fmt::format(" x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\"", svgNumber(x), svgNumber(y),
                                svgNumber(width), svgNumber(height)));
}

void SvgWriter::circle(double cx, double cy, double r) {
    element("circle", fmt::format(" cx=\"{}\" cy=\"{}\" r=\"{}\"", svgNumber(cx), svgNumber(cy), svgNumber(r)));
}

void SvgWriter::path(std::string_view data) { element("path", fmt::format(" d=\"{}\"", data)); }

void SvgWriter::text(double x, double y, std::string_view content) {
    element("text", fmt::format(" x=\"{}\" y=\"{}\"", svgNumber(x), svgNumber(y)), content);
}

void SvgWriter::title(std::string_view content) { out_ += fmt::format("<title>{}</title>\n", xmlEscape(content)); }

void SvgWriter::openGroup() {
    out_ += fmt::format("<g{}>\n", pending_);
    pending_.clear();
    ++openGroups_;
}

void SvgWriter::closeGroup() {
    if (openGroups_ == 0) return;
    out_ += "</g>\n";
    --openGroups_;
}

std::string SvgWriter::finish() {
    while (openGroups_ > 0) closeGroup();
    out_ += "</svg>\n";
    return std::move(out_);
}

std::string inlineSvg(std::string_view document, std::string_view idPrefix) {
    const size_t start = document.find("<svg");
    std::string svg(start == std::string_view::npos ? document : document.substr(start));
    if (idPrefix.empty()) return svg;
    const std::string prefix(idPrefix);
    svg = std::regex_replace(svg, std::regex(R"((\sid=["']))"), "$1" + prefix);
    svg = std::regex_replace(svg, std::regex(R"((href=["']#))"), "$1" + prefix);
    return std::regex_replace(svg, std::regex(R"(url\(#)"), "url(#" + prefix);
}

namespace {

// A program on the PATH, or the one an environment variable names.
std::optional<std::string> findProgram(const char* variable, const std::string& name) {
    if (const char* chosen = std::getenv(variable); chosen != nullptr && *chosen != '\0') {
        if (std::ifstream(chosen).good()) return std::string(chosen);
        return std::nullopt;
    }
#if defined(_WIN32)
    const char separator = ';';
    const std::string program = name + ".exe";
#else
    const char separator = ':';
    const std::string& program = name;
#endif
    const char* path = std::getenv("PATH");
    if (path == nullptr) return std::nullopt;
    const std::string folders(path);
    for (size_t start = 0; start <= folders.size();) {
        size_t end = folders.find(separator, start);
        if (end == std::string::npos) end = folders.size();
        std::string folder = folders.substr(start, end - start);
        if (folder.empty()) folder = ".";
        const std::string candidate = folder + "/" + program;
#if defined(_WIN32)
        if (std::ifstream(candidate).good()) return candidate;
#else
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
#endif
        start = end + 1;
    }
    return std::nullopt;
}

std::string shellQuoted(const std::string& text) {
#if defined(_WIN32)
    return "\"" + text + "\"";
#else
    std::string quoted = "'";
    for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
#endif
}

}  // namespace

std::optional<std::string> writePng(const std::string& svgDocument, const std::string& path) {
    const auto program = findProgram("FFTBENCH_RSVG_CONVERT", "rsvg-convert");
    if (!program)
        return fmt::format("rsvg-convert was not found{}, so {} was not drawn (install librsvg2-bin)",
                           std::getenv("FFTBENCH_RSVG_CONVERT") ? " at $FFTBENCH_RSVG_CONVERT" : " on the PATH",
                           path);
    std::remove(path.c_str());  // so that a file left from before cannot pass for the new picture
    const std::string command = shellQuoted(*program) + " --format png --background-color white --output " +
                                shellQuoted(path);
    std::FILE* pipe = popen(command.c_str(), "w");
    if (pipe == nullptr) return fmt::format("could not start {}", *program);
#if !defined(_WIN32)
    const auto previousHandler = std::signal(SIGPIPE, SIG_IGN);
#endif
    std::fwrite(svgDocument.data(), 1, svgDocument.size(), pipe);
    const int status = pclose(pipe);
#if !defined(_WIN32)
    std::signal(SIGPIPE, previousHandler);
    const bool failed = status == -1 || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
#else
    const bool failed = status != 0;
#endif
    std::ifstream written(path, std::ios::binary | std::ios::ate);
    if (failed || !written.good() || written.tellg() <= 0)
        return fmt::format("{} did not draw {} (exit status {})", *program, path, status);
    return std::nullopt;
}

}  // namespace fftbench
