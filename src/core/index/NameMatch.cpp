#include "core/index/NameMatch.h"

#include "platform/TextNormalization.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace nrvs {

namespace {

constexpr std::array<unsigned char, 256> MakeLowerTable() {
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 256; ++c)
        t[c] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    return t;
}
constexpr std::array<unsigned char, 256> kLower = MakeLowerTable();

inline unsigned char LowerAscii(char c) {
    return kLower[static_cast<unsigned char>(c)];
}

// Eight bytes at a time: most names are ASCII and this is the first thing
// every name goes through.
bool IsAscii(std::string_view s) {
    const char* p = s.data();
    size_t n = s.size();
    std::uint64_t any = 0;
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        any |= w;
    }
    for (; n > 0; ++p, --n)
        any |= static_cast<unsigned char>(*p);
    return (any & 0x8080808080808080ULL) == 0;
}

// Bytes of the character at `pos`, as '?' counts them: one code point, or one
// byte that is not valid UTF-8 (the folding copied such bytes one by one).
size_t CharLengthAt(std::string_view s, size_t pos) {
    if (static_cast<unsigned char>(s[pos]) < 0x80) return 1;
    const size_t len = platform::ValidUtf8SequenceAt(s, pos);
    return len > 0 ? len : 1;
}

// Folding works character by character except that a starter composes with
// the marks after it; no ASCII character ever composes with the one before
// it. So ASCII is lower-cased directly unless a non-ASCII character follows
// it, and only the rest goes through the platform's folding, in runs that end before ASCII
// or at a byte that is not valid UTF-8.
void AppendFolded(std::string& out, std::string_view text) {
    if (IsAscii(text)) {
        for (char c : text)
            out.push_back(static_cast<char>(LowerAscii(c)));
        return;
    }
    const size_t n = text.size();
    auto isAscii = [&](size_t i) { return static_cast<unsigned char>(text[i]) < 0x80; };
    size_t pos = 0;
    while (pos < n) {
        if (isAscii(pos) && (pos + 1 == n || isAscii(pos + 1))) {
            out.push_back(static_cast<char>(LowerAscii(text[pos++])));
            continue;
        }
        size_t end = isAscii(pos) ? pos + 1 : pos;
        while (end < n && !isAscii(end)) {
            const size_t len = platform::ValidUtf8SequenceAt(text, end);
            if (len == 0) break;
            end += len;
        }
        if (end > pos) platform::AppendFoldedRun(out, text.substr(pos, end - pos));
        if (end < n && !isAscii(end)) out.push_back(text[end++]); // not valid UTF-8: kept
        pos = end;
    }
}

// Shell-style matching of the whole folded name, without recursion: on a
// mismatch only the last '*' takes one more character, so the work is bounded
// by pattern length times name length whatever the pattern. '?' and literals
// go by whole characters (see CharLengthAt).
bool GlobMatch(std::string_view pat, std::string_view text) {
    constexpr size_t kNone = std::string_view::npos;
    size_t p = 0, t = 0;
    size_t starP = kNone, starT = 0;
    while (t < text.size()) {
        if (p < pat.size()) {
            const char c = pat[p];
            if (c == '*') {
                starP = ++p;
                starT = t;
                continue;
            }
            if (c == '?') {
                t += CharLengthAt(text, t);
                ++p;
                continue;
            }
            // A bad byte of the pattern must not match the start of a
            // character of the name, so the lengths must agree too.
            const size_t lp = CharLengthAt(pat, p), lt = CharLengthAt(text, t);
            if (lp == lt && pat.compare(p, lp, text, t, lt) == 0) {
                t += lt;
                p += lp;
                continue;
            }
        }
        if (starP == kNone) return false;
        // Whole characters: a '*' that ended inside one would let a '?'
        // after it count the rest of that character as another.
        starT += CharLengthAt(text, starT);
        t = starT;
        p = starP;
    }
    while (p < pat.size() && pat[p] == '*')
        ++p;
    return p == pat.size();
}

// Whether a piece of an ASCII pattern ('?' and lower-case literals) matches
// the name at `pos`; the caller has checked that it fits.
inline bool AsciiPieceAt(std::string_view name, size_t pos, std::string_view piece) {
    for (size_t k = 0; k < piece.size(); ++k)
        if (piece[k] != '?' && static_cast<char>(LowerAscii(name[pos + k])) != piece[k])
            return false;
    return true;
}

// Case-insensitive search for an ASCII, already lower-case needle.
bool ContainsAsciiFolded(std::string_view hay, std::string_view needle) {
    const size_t m = needle.size();
    if (m > hay.size()) return false;
    const char first = needle[0];
    const size_t last = hay.size() - m;
    for (size_t i = 0; i <= last; ++i) {
        if (static_cast<char>(LowerAscii(hay[i])) != first) continue;
        size_t k = 1;
        while (k < m && static_cast<char>(LowerAscii(hay[i + k])) == needle[k])
            ++k;
        if (k == m) return true;
    }
    return false;
}

} // namespace

std::string FoldForSearch(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendFolded(out, text);
    return out;
}

NameMatcher::NameMatcher(std::string_view pattern) : folded_(FoldForSearch(pattern)) {
    wildcard_ = folded_.find_first_of("*?") != std::string::npos;
    asciiPattern_ = IsAscii(folded_);
    matchesAll_ = folded_.find_first_not_of('*') == std::string::npos;
    if (wildcard_ && asciiPattern_) {
        size_t from = 0;
        for (;;) {
            const size_t star = folded_.find('*', from);
            pieces_.push_back(folded_.substr(from, star == std::string::npos ? star : star - from));
            if (star == std::string::npos) break;
            from = star + 1;
        }
    }
}

// In ASCII every character is one byte, so each piece between stars has a
// fixed length: the first must start the name, the last must end it, and the
// ones between are best taken at their leftmost place, since that leaves the
// most room for the rest. One pass, no backtracking.
bool NameMatcher::MatchesAsciiGlob(std::string_view name) const {
    const size_t n = name.size();
    const std::string& first = pieces_.front();
    if (pieces_.size() == 1) return n == first.size() && AsciiPieceAt(name, 0, first);
    const std::string& last = pieces_.back();
    if (first.size() + last.size() > n) return false;
    if (!AsciiPieceAt(name, 0, first) || !AsciiPieceAt(name, n - last.size(), last)) return false;
    size_t pos = first.size();
    const size_t end = n - last.size();
    for (size_t i = 1; i + 1 < pieces_.size(); ++i) {
        const std::string& piece = pieces_[i];
        while (pos + piece.size() <= end && !AsciiPieceAt(name, pos, piece))
            ++pos;
        if (pos + piece.size() > end) return false;
        pos += piece.size();
    }
    return true;
}

bool NameMatcher::Empty() const {
    return folded_.empty();
}

bool NameMatcher::Matches(std::string_view name) const {
    if (matchesAll_) return true;
    if (IsAscii(name)) {
        // The folded form of ASCII is its lower case, so no folding is needed;
        // and it stays ASCII, so a pattern that is not can never match.
        if (!asciiPattern_) return false;
        if (!wildcard_) return ContainsAsciiFolded(name, folded_);
        return MatchesAsciiGlob(name);
    }
    thread_local std::string folded;
    folded.clear();
    AppendFolded(folded, name);
    if (!wildcard_) return folded.find(folded_) != std::string::npos;
    return GlobMatch(folded_, folded);
}

} // namespace nrvs
