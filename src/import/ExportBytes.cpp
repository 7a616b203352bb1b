#include "import/ExportBytes.h"

#if NRVS_HAVE_SIMDJSON
#include <simdjson.h>

namespace nrvs::exportbytes {

size_t Utf8Length(const unsigned char* s, size_t left) {
    const unsigned char b = s[0];
    size_t n;
    uint32_t cp;
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2, cp = b & 0x1F;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, cp = b & 0x0F;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, cp = b & 0x07;
    else
        return 0;
    if (left < n) return 0;
    for (size_t i = 1; i < n; ++i) {
        if ((s[i] & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (s[i] & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}

void ReplaceInvalidUtf8(std::string& doc, size_t length, std::vector<Replaced>& replaced) {
    if (simdjson::validate_utf8(doc.data(), length)) return;
    const auto* s = reinterpret_cast<const unsigned char*>(doc.data());
    for (size_t i = 0; i < length;) {
        const size_t n = Utf8Length(s + i, length - i);
        if (n) {
            i += n;
            continue;
        }
        replaced.push_back({i, doc[i]});
        doc[i] = '?';
        ++i;
    }
}

uint32_t Hex4(const char* p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = p[i];
        v = v * 16 + static_cast<uint32_t>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    }
    return v;
}

} // namespace nrvs::exportbytes
#endif
