#include "render/svg.h"

#include <fmt/format.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>

#include "render/programs.h"

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

std::optional<std::string> writePng(const std::string& svgDocument, const std::string& path) {
    const auto program = findProgram("FFTBENCH_RSVG_CONVERT", "rsvg-convert");
    if (!program)
        return fmt::format("rsvg-convert was not found{}, so {} was not drawn (install librsvg2-bin)",
                           std::getenv("FFTBENCH_RSVG_CONVERT") ? " at $FFTBENCH_RSVG_CONVERT" : " on the PATH",
                           path);
    const std::string command = shellQuoted(*program) + " --format png --background-color white --output " +
                                shellQuoted(path);
    return writeThrough(*program, command, svgDocument, path);
}

}  // namespace fftbench
