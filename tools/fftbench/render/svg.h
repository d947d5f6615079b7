// A small writer of SVG documents, enough for fftbench's own pictures (the
// signal-flow graphs of `draw` and the access maps of `trace`), and their
// conversion to PNG by rsvg-convert.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace fftbench {

// Text with &, <, > and quotes escaped, for an element's content or an attribute.
std::string xmlEscape(std::string_view text);

class SvgWriter {
   public:
    // An SVG document of width × height user units whose root element has
    // the class `rootClass`; `style` goes into its <style> element as it
    // stands (a CSS text, see assets/, its rules under .rootClass, so that
    // several pictures in one HTML page keep their own).
    SvgWriter(double width, double height, std::string_view rootClass, std::string_view style);

    // The attributes of the next element: attr("class", "wire").
    SvgWriter& attr(std::string_view name, std::string_view value);
    SvgWriter& attr(std::string_view name, double value);

    void line(double x1, double y1, double x2, double y2);
    void rect(double x, double y, double width, double height);
    void circle(double cx, double cy, double r);
    void path(std::string_view data);
    // Text at (x, y); the attributes set before it (class, text-anchor …) apply.
    void text(double x, double y, std::string_view content);
    // A <title> for the element being opened next or the enclosing group:
    // what a browser shows on hovering.
    void title(std::string_view content);
    void openGroup();
    void closeGroup();
    // The document, closed. The writer is spent after it.
    std::string finish();

   private:
    void element(std::string_view tag, const std::string& geometry, std::string_view content = {});
    std::string out_;
    std::string pending_;  // attributes for the next element
    int openGroups_ = 0;
};

// A number as SVG coordinates want it: at most two decimals, no trailing zeros.
std::string svgNumber(double value);

// The SVG document without its XML declaration, ready to stand inline in
// HTML; its ids (and the references to them) prefixed with `idPrefix`, so
// that several documents in one page do not share any.
std::string inlineSvg(std::string_view document, std::string_view idPrefix = {});

// Converts the SVG document to a PNG at `path` with rsvg-convert (from the
// PATH, or $FFTBENCH_RSVG_CONVERT); nullopt on success, otherwise what went wrong.
std::optional<std::string> writePng(const std::string& svgDocument, const std::string& path);

}  // namespace fftbench
