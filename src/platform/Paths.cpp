#include "platform/Paths.h"

#include "platform/Drives.h"
#include "platform/SystemServices.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace nrvs::platform {

namespace {
// UTF-8 of the characters that stand for native bytes in program form, and of
// the escape mark U+E05C that keeps a real one of them apart.
constexpr unsigned char kMark[3] = {0xEE, 0x81, 0x9C};

inline unsigned char At(std::string_view s, size_t i) {
    return static_cast<unsigned char>(s[i]);
}

// Length of the stand-in character at s[i] (U+FF3C, U+2401..U+241F or the
// mark itself), 0 when there is none.
inline size_t StandInAt(std::string_view s, size_t i) {
    if (i + 2 >= s.size()) return 0;
    unsigned char a = At(s, i), b = At(s, i + 1), c = At(s, i + 2);
    if (a == 0xEF && b == 0xBC && c == 0xBC) return 3;
    if (a == 0xE2 && b == 0x90 && c >= 0x81 && c <= 0x9F) return 3;
    if (a == kMark[0] && b == kMark[1] && c == kMark[2]) return 3;
    return 0;
}

// Length of the character at s[i]: a whole valid UTF-8 sequence, else 1.
inline size_t CharLengthAt(std::string_view s, size_t i) {
    unsigned char c = At(s, i);
    size_t len = c < 0x80 ? 1 : c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 1;
    if (len == 1 || i + len > s.size()) return 1;
    for (size_t k = 1; k < len; ++k)
        if ((At(s, i + k) & 0xC0) != 0x80) return 1;
    return len;
}
} // namespace

std::string VisibleMarks(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (i + 2 < text.size() && At(text, i) == kMark[0] && At(text, i + 1) == kMark[1] &&
            At(text, i + 2) == kMark[2]) {
            out += "<U+E05C>";
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string ShownName(std::string_view n) {
    std::string out;
    out.reserve(n.size());
    for (size_t i = 0; i < n.size();) {
        unsigned char c = At(n, i);
        if (c == '\\') {
            out += "\xEF\xBC\xBC";
            ++i;
        } else if (c >= 1 && c <= 0x1F) {
            out += "\xE2\x90";
            out += static_cast<char>(0x80 + c);
            ++i;
        } else if (size_t len = StandInAt(n, i)) {
            // A real stand-in character in the name: marked, so that it does
            // not turn into the byte it stands for on the way back.
            out.append(reinterpret_cast<const char*>(kMark), 3);
            out.append(n.substr(i, len));
            i += len;
        } else {
            out += static_cast<char>(c);
            ++i;
        }
    }
    return out;
}

std::string NativeName(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = At(s, i);
        if (c == kMark[0] && i + 3 < s.size() && At(s, i + 1) == kMark[1] &&
            At(s, i + 2) == kMark[2]) {
            size_t len = CharLengthAt(s, i + 3);
            out.append(s.substr(i + 3, len));
            i += 3 + len;
        } else if (c == 0xEF && StandInAt(s, i) == 3 && At(s, i + 1) == 0xBC) {
            out += '\\';
            i += 3;
        } else if (c == 0xE2 && StandInAt(s, i) == 3) {
            out += static_cast<char>(At(s, i + 2) - 0x80);
            i += 3;
        } else {
            out += static_cast<char>(c);
            ++i;
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
    std::string_view rest = p.size() > 3 ? p.substr(3) : std::string_view();
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find('\\', start);
        if (end == std::string_view::npos) end = rest.size();
        std::string_view name = rest.substr(start, end - start);
        // No way out of the drive's root, and no empty names.
        if (name.empty() || name == "." || name == ".." ||
            name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
            return false;
        native += NativeName(name);
        if (end < rest.size()) native += '/';
        start = end + 1;
    }
    return true;
}

std::string ItemPath::Native() const {
    std::string n = Root;
    for (const auto& name : Names) {
        if (n.empty() || n.back() != '/') n += '/';
        n += name;
    }
    return n;
}

bool CheckProgramPath(std::string_view p, ItemPath& out, std::string* why) {
    auto fail = [&](const char* reason) {
        if (why) *why = reason;
        return false;
    };
    out = ItemPath{};
    if (p.size() < 3 || p[1] != ':' || p[2] != '\\') return fail("not a path of the form X:\\...");
    int letter = LetterOf(std::string(p.substr(0, 3)));
    if (letter < 0) return fail("no drive letter");
    const std::string& root = DriveRoots()[static_cast<size_t>(letter)];
    if (root.empty() ||
        GetDriveTypeA(std::string(1, static_cast<char>('A' + letter)) + ":\\") <= DRIVE_NO_ROOT_DIR)
        return fail("the drive is not in use");
    std::string_view rest = p.substr(3);
    // One trailing backslash marks a folder; every other one separates two
    // names, so X:\\ or X:\a\\b hold an empty name and are refused
    // rather than read as the root.
    if (!rest.empty()) {
        if (rest.back() == '\\') rest.remove_suffix(1);
        for (size_t start = 0;;) {
            size_t end = rest.find('\\', start);
            if (end == std::string_view::npos) end = rest.size();
            std::string_view name = rest.substr(start, end - start);
            if (name.empty()) return fail("an empty name in the path");
            if (name == "." || name == "..") return fail("\".\" or \"..\" in the path");
            if (name.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos)
                return fail("a '/' or NUL in a name");
            out.Names.push_back(NativeName(name));
            if (out.Names.back().size() > 255)
                return fail("a name longer than the file system allows");
            if (end == rest.size()) break;
            start = end + 1;
        }
    }
    out.Letter = letter;
    out.Root = root;
    return true;
}

std::string ToNative(std::string_view programPath) {
    std::string n;
    return ToNative(programPath, n) ? n : std::string();
}

bool ToProgram(std::string_view n, std::string& program) {
    if (!IsAbsoluteNative(n)) return false;
    int best = -1;
    size_t bestLen = 0;
    const DriveRootTable& roots = DriveRoots();
    for (int i = 0; i < 26; ++i) {
        std::string_view r = roots[static_cast<size_t>(i)];
        while (r.size() > 1 && r.back() == '/')
            r.remove_suffix(1);
        // A letter whose volume is gone keeps its root in the map; a path
        // below that dead mount point belongs to the drive holding it now.
        if (r.empty() ||
            GetDriveTypeA(std::string(1, static_cast<char>('A' + i)) + ":\\") <= DRIVE_NO_ROOT_DIR)
            continue;
        bool match = r == "/" ||
                     (n.substr(0, r.size()) == r && (n.size() == r.size() || n[r.size()] == '/'));
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
    while (!rest.empty() && rest.front() == '/')
        rest.remove_prefix(1);
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

inline char32_t LowerOf(char32_t cp) {
    return SystemLower(cp);
}
inline char32_t UpperOf(char32_t cp) {
    return SystemUpper(cp);
}

inline char32_t Fold(char32_t cp) {
    if (cp < 0x80) return (cp >= 'A' && cp <= 'Z') ? cp + 32 : cp;
    if (cp >= 0x110000u) return cp;
    return LowerOf(cp);
}
} // namespace

// Eight bytes at a time: sorted paths share long prefixes, and equal bytes
// fold equally.
size_t SamePrefix(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    for (; i + 8 <= n; i += 8) {
        uint64_t x, y;
        std::memcpy(&x, a.data() + i, 8);
        std::memcpy(&y, b.data() + i, 8);
        if (x != y) return i + static_cast<size_t>(__builtin_ctzll(x ^ y) / 8);
    }
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

namespace {
inline bool IsContinuation(std::string_view s, size_t i) {
    return i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80;
}
} // namespace

int CompareTextIgnoreCase(std::string_view a, std::string_view b) {
    // Resume at the start of the character where the texts part: every byte
    // that is no continuation byte starts a character for the decoder.
    size_t i = SamePrefix(a, b);
    while (i > 0 && (IsContinuation(a, i) || IsContinuation(b, i)))
        --i;
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

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
    size_t i = 0, j = 0;
    while (j < prefix.size()) {
        if (i >= text.size()) return false;
        const unsigned char ca = static_cast<unsigned char>(text[i]);
        const unsigned char cb = static_cast<unsigned char>(prefix[j]);
        if ((ca | cb) < 0x80) {
            if (Fold(ca) != Fold(cb)) return false;
            ++i, ++j;
            continue;
        }
        if (Fold(NextCodePoint(text, i)) != Fold(NextCodePoint(prefix, j))) return false;
    }
    return true;
}

uint64_t HashIgnoreCase(std::string_view s) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < s.size();) {
        char32_t cp = Fold(NextCodePoint(s, i));
        h = (h ^ cp) * 1099511628211ull;
    }
    return h;
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

namespace nrvs::platform {

namespace {
// Length of the valid UTF-8 character at i, 0 when the byte there starts none.
size_t Utf8CharAt(std::string_view s, size_t i) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    if (c < 0x80) return 1;
    size_t len = c >= 0xC2 && c <= 0xDF   ? 2
                 : c >= 0xE0 && c <= 0xEF ? 3
                 : c >= 0xF0 && c <= 0xF4 ? 4
                                          : 0;
    if (len == 0 || i + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k)
        if ((b(i + k) & 0xC0) != 0x80) return 0;
    // Overlong forms, surrogates and code points past U+10FFFF.
    if (c == 0xE0 && b(i + 1) < 0xA0) return 0;
    if (c == 0xED && b(i + 1) >= 0xA0) return 0;
    if (c == 0xF0 && b(i + 1) < 0x90) return 0;
    if (c == 0xF4 && b(i + 1) >= 0x90) return 0;
    return len;
}

bool IsUtf8(std::string_view s) {
    for (size_t i = 0; i < s.size();) {
        const size_t len = Utf8CharAt(s, i);
        if (!len) return false;
        i += len;
    }
    return true;
}

} // namespace

std::string DisplayText(std::string_view text) {
    if (IsUtf8(text)) return std::string(text);
    std::string out;
    out.reserve(text.size() + 8);
    for (size_t start = 0; start <= text.size();) {
        size_t end = text.find('\\', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view part = text.substr(start, end - start);
        std::string decoded;
        if (IsUtf8(part)) {
            out += part;
        } else if (FromShiftJis(part, decoded)) {
            out += decoded;
        } else {
            for (size_t i = 0; i < part.size();) {
                if (const size_t len = Utf8CharAt(part, i)) {
                    out += part.substr(i, len);
                    i += len;
                } else {
                    static const char hex[] = "0123456789ABCDEF";
                    const auto c = static_cast<unsigned char>(part[i++]);
                    out += '%';
                    out += hex[c >> 4];
                    out += hex[c & 15];
                }
            }
        }
        if (end == text.size()) break;
        out += '\\';
        start = end + 1;
    }
    return out;
}

} // namespace nrvs::platform
