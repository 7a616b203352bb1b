#include "platform/TextNormalization.h"

#include "platform/Utf8.h"

#if NRVS_HAVE_UTF8PROC
#include <utf8proc.h>
#else
#include <cwctype>
#endif

#include <vector>

namespace nrvs::platform {

#if NRVS_HAVE_UTF8PROC
// NFKC with case folding in one pass: utf8proc folds each character while it
// decomposes and composes afterwards, so the result is itself normalized.
// Default-ignorable characters are kept: they are part of the name as shown.
constexpr utf8proc_option_t kFoldOptions = static_cast<utf8proc_option_t>(
    UTF8PROC_STABLE | UTF8PROC_COMPOSE | UTF8PROC_COMPAT | UTF8PROC_CASEFOLD);

// Length of the valid UTF-8 sequence at `pos`, or 0 when the byte there does
// not start one.
size_t ValidUtf8SequenceAt(std::string_view s, size_t pos) {
    utf8proc_int32_t cp;
    const auto* p = reinterpret_cast<const utf8proc_uint8_t*>(s.data()) + pos;
    utf8proc_ssize_t len = utf8proc_iterate(p, static_cast<utf8proc_ssize_t>(s.size() - pos), &cp);
    return len > 0 ? static_cast<size_t>(len) : 0;
}

// Folds a run of valid UTF-8 and appends it to `out`.
void AppendFoldedRun(std::string& out, std::string_view run) {
    thread_local std::vector<utf8proc_int32_t> codepoints;
    const auto* p = reinterpret_cast<const utf8proc_uint8_t*>(run.data());
    const auto len = static_cast<utf8proc_ssize_t>(run.size());
    if (codepoints.size() < run.size() + 1) codepoints.resize(run.size() + 1);
    utf8proc_ssize_t count;
    for (;;) {
        // One slot kept back: utf8proc_reencode writes a terminating zero
        // after the bytes, which may fill every slot.
        auto room = static_cast<utf8proc_ssize_t>(codepoints.size() - 1);
        count = utf8proc_decompose(p, len, codepoints.data(), room, kFoldOptions);
        if (count < 0) { // cannot happen on a checked run; keep the bytes
            out.append(run);
            return;
        }
        if (count <= room) break;
        codepoints.resize(static_cast<size_t>(count) + 1);
    }
    utf8proc_ssize_t bytes = utf8proc_reencode(codepoints.data(), count, kFoldOptions);
    if (bytes < 0) {
        out.append(run);
        return;
    }
    out.append(reinterpret_cast<const char*>(codepoints.data()), static_cast<size_t>(bytes));
}

#else
// Without utf8proc (a Windows cross-build) names are only case-folded, one
// code point at a time, and not normalized.
size_t ValidUtf8SequenceAt(std::string_view s, size_t pos) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(pos);
    if (c < 0x80) return 1;
    size_t len = c >= 0xC2 && c <= 0xDF   ? 2
                 : c >= 0xE0 && c <= 0xEF ? 3
                 : c >= 0xF0 && c <= 0xF4 ? 4
                                          : 0;
    if (len == 0 || pos + len > s.size()) return 0;
    for (size_t k = 1; k < len; ++k)
        if ((b(pos + k) & 0xC0) != 0x80) return 0;
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((c == 0xE0 && b(pos + 1) < 0xA0) || (c == 0xED && b(pos + 1) >= 0xA0) ||
        (c == 0xF0 && b(pos + 1) < 0x90) || (c == 0xF4 && b(pos + 1) >= 0x90))
        return 0;
    return len;
}

void AppendFoldedRun(std::string& out, std::string_view run) {
    for (size_t i = 0; i < run.size();) {
        const size_t len = ValidUtf8SequenceAt(run, i);
        char32_t cp = static_cast<unsigned char>(run[i]) & (0x7F >> len);
        for (size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(run[i + k]) & 0x3F);
        i += len;
        // wchar_t holds the basic plane only on Windows.
        if (cp < 0x10000) cp = static_cast<char32_t>(std::towlower(static_cast<wint_t>(cp)));
        AppendUtf8(out, cp);
    }
}
#endif

} // namespace nrvs::platform
