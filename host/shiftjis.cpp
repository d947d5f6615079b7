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

std::string convert(std::string_view text, UINT from, UINT to) {
    if (text.empty()) return {};
    const int wide = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(),
                                         static_cast<int>(text.size()), nullptr, 0);
    if (wide <= 0) throw EncodingError("invalid byte sequence in catalogue name");
    std::wstring utf16(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                        utf16.data(), wide);
    const DWORD flags = to == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
    BOOL lossy = FALSE;
    const int bytes = WideCharToMultiByte(to, flags, utf16.data(), wide, nullptr, 0, nullptr,
                                          to == CP_UTF8 ? nullptr : &lossy);
    if (bytes <= 0 || lossy) throw EncodingError("text has no representation in the target encoding");
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(to, flags, utf16.data(), wide, out.data(), bytes, nullptr, nullptr);
    return out;
}

std::string toUtf8(std::string_view text) { return convert(text, kShiftJis, CP_UTF8); }
std::string fromUtf8(std::string_view text) { return convert(text, CP_UTF8, kShiftJis); }
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
std::string utf8ToShiftJis(std::string_view utf8) { return fromUtf8(utf8); }

}  // namespace fftplug::host
