#include "platform/Ppath.h"

#include "platform/Pdrives.h"

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <locale.h>

namespace nrvs::platform {

std::string ShownName(std::string_view n) {
    std::string out;
    out.reserve(n.size());
    for (char ch : n) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\xEF\xBC\xBC";
        } else if (c >= 1 && c <= 0x1F) {
            out += "\xE2\x90";
            out += static_cast<char>(0x80 + c);
        } else {
            out += ch;
        }
    }
    return out;
}

std::string NativeName(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == 0xEF && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xBC &&
            static_cast<unsigned char>(s[i + 2]) == 0xBC) {
            out += '\\';
            i += 3;
        } else if (c == 0xE2 && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0x90) {
            unsigned char t = static_cast<unsigned char>(s[i + 2]);
            if (t >= 0x81 && t <= 0x9F) {
                out += static_cast<char>(t - 0x80);
                i += 3;
            } else {
                out += s[i++];
            }
        } else {
            out += s[i++];
        }
    }
    return out;
}

bool ToNative(std::string_view p, std::string& native) {
    int letter = LetterOf(std::string(p.substr(0, 3)));
    if (letter < 0) return false;
    const std::string& root = DriveRoots()[static_cast<size_t>(letter)];
    if (root.empty()) return false;
    native = root;
    if (native.back() != '/') native += '/';
    std::string_view rest = p.substr(3);
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string_view::npos) end = rest.size();
        std::string_view name = rest.substr(start, end - start);
        // No way out of the drive's root, and no empty names.
        if (name.empty() || name == "." || name == ".." || name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
            return false;
        native += NativeName(name);
        if (end < rest.size()) native += '/';
        start = end + 1;
    }
    return true;
}

std::string ToNative(std::string_view programPath) {
    std::string n;
    return ToNative(programPath, n) ? n : std::string();
}

bool ToProgram(std::string_view n, std::string& program) {
    if (n.empty() || n.front() != '/') return false;
    int best = -1;
    size_t bestLen = 0;
    const DriveRootTable& roots = DriveRoots();
    for (int i = 0; i < 26; ++i) {
        std::string_view r = roots[static_cast<size_t>(i)];
        while (r.size() > 1 && r.back() == '/') r.remove_suffix(1);
        // A letter whose volume is gone keeps its root in the map; a path
        // below that dead mount point belongs to the drive holding it now.
        if (r.empty() || GetDriveTypeA(std::string(1, static_cast<char>('A' + i)) + ":\\") <= DRIVE_NO_ROOT_DIR)
            continue;
        bool match = r == "/" || (n.substr(0, r.size()) == r && (n.size() == r.size() || n[r.size()] == '/'));
        if (match && (best < 0 || r.size() > bestLen)) {
            best = i;
            bestLen = r.size();
        }
    }
    if (best < 0) return false;
    program.clear();
    program += static_cast<char>('A' + best);
    program += ":\\";
    std::string_view rest = n.substr(bestLen == 1 ? 1 : bestLen);
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string_view::npos) end = rest.size();
        if (end > start) {
            program += ShownName(rest.substr(start, end - start));
            if (end < rest.size()) program += '\\';
        }
        start = end + 1;
    }
    return true;
}

namespace {
// Next code point of s at i, advancing i. Bytes that do not start a valid
// sequence map above the Unicode range so they never equal a character.
inline char32_t NextCodePoint(std::string_view s, size_t& i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c < 0x80) {
        ++i;
        return c;
    }
    int len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (len == 0 || c > 0xF4 || i + static_cast<size_t>(len) > s.size()) {
        ++i;
        return 0x110000u + c;
    }
    char32_t cp = c & (0x7F >> len);
    for (int k = 1; k < len; ++k) {
        unsigned char t = static_cast<unsigned char>(s[i + static_cast<size_t>(k)]);
        if ((t & 0xC0) != 0x80) {
            ++i;
            return 0x110000u + c;
        }
        cp = (cp << 6) | (t & 0x3F);
    }
    i += static_cast<size_t>(len);
    return cp;
}

// Case mappings of the whole Unicode range come from the C library's
// built-in UTF-8 locale, whatever locale the process runs in.
locale_t CaseLocale() {
    static locale_t loc = [] {
        locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l ? l : ::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return loc;
}

inline char32_t LowerOf(char32_t cp) {
    return static_cast<char32_t>(::towlower_l(static_cast<wint_t>(cp), CaseLocale()));
}
inline char32_t UpperOf(char32_t cp) {
    return static_cast<char32_t>(::towupper_l(static_cast<wint_t>(cp), CaseLocale()));
}

inline char32_t Fold(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (cp >= 0x110000u) return cp;
    return LowerOf(cp);
}
} // namespace

namespace {
// Length of the byte-identical start of a and b, eight bytes at a time:
// sorted paths share long prefixes, and equal bytes fold equally.
inline size_t SamePrefix(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) return i + static_cast<size_t>(__builtin_ctzll(x ^ y) / 8);
    }
    while (i < n && a[i] == b[i]) ++i;
    return i;
}

inline bool IsContinuation(std::string_view s, size_t i) {
    return i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
}
} // namespace

int CompareTextIgnoreCase(std::string_view a, std::string_view b) {
    // Resume at the start of the character where the texts part: every byte
    // that is no continuation byte starts a character for the decoder.
    size_t i = SamePrefix(a, b);
    while (i > 0 && (IsContinuation(a, i) || IsContinuation(b, i))) --i;
    size_t j = i;
    while (i < a.size() && j < b.size()) {
        unsigned char ca = static_cast<unsigned char>(a[i]);
        unsigned char cb = static_cast<unsigned char>(b[j]);
        if ((ca | cb) < 0x80) {
            if (ca == cb) {
                ++i, ++j;
                continue;
            }
            unsigned char la = (ca >= 'A' && ca <= 'Z') ? ca + 32 : ca;
            unsigned char lb = (cb >= 'A' && cb <= 'Z') ? cb + 32 : cb;
            if (la != lb) return la < lb ? -1 : 1;
            ++i, ++j;
            continue;
        }
        char32_t x = Fold(NextCodePoint(a, i));
        char32_t y = Fold(NextCodePoint(b, j));
        if (x != y) return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

} // namespace nrvs::platform

namespace nrvs::platform {
std::string UpperText(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out += static_cast<char>((c >= 'a' && c <= 'z') ? c - 32 : c);
            ++i;
            continue;
        }
        size_t start = i;
        char32_t cp = NextCodePoint(s, i);
        if (cp >= 0x110000u) {
            out.append(s.substr(start, i - start));
            continue;
        }
        char32_t up = UpperOf(cp);
        if (up < 0x80) {
            out += static_cast<char>(up);
        } else if (up < 0x800) {
            out += static_cast<char>(0xC0 | (up >> 6));
            out += static_cast<char>(0x80 | (up & 0x3F));
        } else if (up < 0x10000) {
            out += static_cast<char>(0xE0 | (up >> 12));
            out += static_cast<char>(0x80 | ((up >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (up & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (up >> 18));
            out += static_cast<char>(0x80 | ((up >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((up >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (up & 0x3F));
        }
    }
    return out;
}
} // namespace nrvs::platform
