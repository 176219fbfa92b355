// UTF-8 checks and decoding, and CP932 conversion through iconv.
#include <platform/font/text_codec.h>

#include <iconv.h>

namespace platform::font {

bool IsValidUtf8(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const size_t extra = c < 0x80             ? 0
                             : (c & 0xE0) == 0xC0 ? 1
                             : (c & 0xF0) == 0xE0 ? 2
                             : (c & 0xF8) == 0xF0 ? 3
                                                  : 4;
        if (extra == 4 || i + extra >= text.size()) return false;
        for (size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
        i += 1 + extra;
    }
    return true;
}

std::string TextToUtf8(const std::string& text) {
    if (IsValidUtf8(text)) return text;
    iconv_t convert = iconv_open("UTF-8", "CP932");
    if (convert == reinterpret_cast<iconv_t>(-1)) return {};
    std::string in = text;
    std::string out(in.size() * 3 + 1, '\0');
    char* source = in.data();
    size_t inLeft = in.size();
    char* target = out.data();
    size_t outLeft = out.size();
    const size_t result = iconv(convert, &source, &inLeft, &target, &outLeft);
    iconv_close(convert);
    if (result == static_cast<size_t>(-1)) return {};
    out.resize(out.size() - outLeft);
    return out;
}

void DecodeUtf8(const char* text, size_t length, std::vector<char32_t>& out) {
    out.clear();
    const auto* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        const unsigned char c = s[i];
        int extra = 0;
        char32_t cp = 0, minimum = 0;
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, minimum = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, minimum = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, minimum = 0x10000;
        } else {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        int k = 1;
        for (; k <= extra && i + k < length && (s[i + k] & 0xC0) == 0x80; ++k)
            cp = (cp << 6) | (s[i + k] & 0x3F);
        if (k <= extra || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(0xFFFD);
            i += k; // the lead byte and the continuation bytes that were there
            continue;
        }
        out.push_back(cp);
        i += 1 + extra;
    }
}

} // namespace platform::font
