#include "shiftjis.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <cerrno>
#include <iconv.h>
#endif

namespace fftplug::host {

namespace {

#if defined(_WIN32)
constexpr UINT kShiftJis = 932;

// Code page 932 gives a meaning to a few single bytes that Shift-JIS leaves
// undefined (0x80, 0xA0 and 0xFD to 0xFF, taken as C1 controls or private-use
// characters depending on the Windows release); iconv's CP932 rejects them.
// Rejecting them here as well makes a name decode, or fail to, the same way on
// every platform. Lead bytes are followed past their trail byte, which
// MultiByteToWideChar checks.
void requireDefinedBytes(std::string_view shiftJis) {
    for (size_t i = 0; i < shiftJis.size(); ++i) {
        const auto byte = static_cast<unsigned char>(shiftJis[i]);
        if (byte == 0x80 || byte == 0xA0 || byte >= 0xFD)
            throw EncodingError("invalid byte sequence in catalogue name");
        if ((byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)) ++i;
    }
}

std::wstring toUtf16(std::string_view text, UINT codePage) {
    const int wide = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) throw EncodingError("invalid byte sequence in catalogue name");
    std::wstring utf16(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        utf16.data(), wide);
    return utf16;
}

std::string fromUtf16(const std::wstring& utf16, UINT codePage) {
    const int wide = static_cast<int>(utf16.size());
    // To UTF-8 a lone surrogate is the one failure; to code page 932 the
    // default character stands in for anything without a mapping, and without
    // WC_NO_BEST_FIT_CHARS Windows would also substitute look-alikes ('é' as
    // 'e', '©' as 'c') without saying so.
    const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* usedDefault = codePage == CP_UTF8 ? nullptr : &lossy;
    const int bytes = WideCharToMultiByte(codePage, flags, utf16.data(), wide, nullptr, 0, nullptr, usedDefault);
    if (bytes <= 0 || lossy) throw EncodingError("text has no representation in the target encoding");
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, flags, utf16.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string toUtf8(std::string_view text) {
    if (text.empty()) return {};
    requireDefinedBytes(text);
    return fromUtf16(toUtf16(text, kShiftJis), CP_UTF8);
}

std::string fromUtf8(std::string_view text) {
    if (text.empty()) return {};
    std::string shiftJis = fromUtf16(toUtf16(text, CP_UTF8), kShiftJis);
    try {
        requireDefinedBytes(shiftJis);
    } catch (const EncodingError&) {
        throw EncodingError("text has no representation in the target encoding");
    }
    return shiftJis;
}
#else
std::string convert(std::string_view text, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw EncodingError(std::string("iconv has no ") + from + " to " + to);
    std::string out;
    char* in = const_cast<char*>(text.data());
    size_t inLeft = text.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        size_t outLeft = sizeof(buffer);
        const size_t result = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<size_t>(outPtr - buffer));
        if (result == static_cast<size_t>(-1) && errno != E2BIG) {
            iconv_close(cd);
            throw EncodingError("invalid byte sequence in catalogue name");
        }
    }
    iconv_close(cd);
    return out;
}

std::string toUtf8(std::string_view text) { return convert(text, "CP932", "UTF-8"); }
std::string fromUtf8(std::string_view text) { return convert(text, "UTF-8", "CP932"); }
#endif

}  // namespace

std::string shiftJisToUtf8(std::string_view shiftJis) { return toUtf8(shiftJis); }
// Only text that decodes back to itself: iconv maps a few characters one way
// (U+00A5 to 0x5C, U+2014 to 0x815C, U+301C to 0x8160 and the like) that
// Windows refuses, and a name must encode the same on every platform.
std::string utf8ToShiftJis(std::string_view utf8) {
    std::string shiftJis = fromUtf8(utf8);
    if (toUtf8(shiftJis) != utf8) throw EncodingError("text has no representation in the target encoding");
    return shiftJis;
}

}  // namespace fftplug::host
