// Before windows.h, whose macros would take the names of its constants.
#include "platform/Utf8.h"

#include "platform/win32/WideApi.h"

namespace nrvs::platform::win {

std::string Narrow(const wchar_t* text, size_t length) {
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        uint32_t cp = static_cast<uint16_t>(text[i]);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length) {
            const uint32_t low = static_cast<uint16_t>(text[i + 1]);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        AppendUtf8(out, cp);
    }
    return out;
}

std::wstring Wide(std::string_view s) {
    std::wstring out;
    out.reserve(s.size());
    const auto b = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    for (size_t i = 0; i < s.size();) {
        const unsigned char c = b(i);
        size_t len = c < 0x80                 ? 1
                     : c >= 0xC2 && c <= 0xDF ? 2
                     : c >= 0xE0 && c <= 0xEF ? 3
                     : c >= 0xF0 && c <= 0xF4 ? 4
                                              : 0;
        bool ok = len > 0 && i + len <= s.size();
        for (size_t k = 1; ok && k < len; ++k)
            ok = (b(i + k) & 0xC0) == 0x80;
        if (!ok) {
            out += L'\xFFFD';
            ++i;
            continue;
        }
        uint32_t cp = len == 1 ? c : c & (0x7F >> len);
        for (size_t k = 1; k < len; ++k)
            cp = (cp << 6) | (b(i + k) & 0x3F);
        i += len;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<wchar_t>(0xD800 + (cp >> 10));
            out += static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
        } else {
            out += static_cast<wchar_t>(cp); // a lone surrogate included (WTF-8)
        }
    }
    return out;
}

std::wstring LongPath(std::string_view nativePath) {
    std::wstring w = Wide(nativePath);
    for (auto& ch : w)
        if (ch == L'/') ch = L'\\';
    if (w.rfind(L"\\\\?\\", 0) == 0) return w;
    const bool absolute =
        (w.size() >= 3 && w[1] == L':' && w[2] == L'\\') || w.rfind(L"\\\\", 0) == 0;
    if (!absolute) {
        DWORD n = ::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
        if (n > 0) {
            std::wstring full(n, L'\0');
            n = ::GetFullPathNameW(w.c_str(), n, full.data(), nullptr);
            full.resize(n);
            w = full;
        }
    }
    std::wstring out;
    out.reserve(w.size() + 8);
    const bool unc = w.rfind(L"\\\\", 0) == 0;
    out = unc ? L"\\\\?\\UNC\\" : L"\\\\?\\";
    for (size_t i = unc ? 2 : 0; i < w.size(); ++i) {
        if (w[i] == L'\\' && !out.empty() && out.back() == L'\\') continue;
        out += w[i];
    }
    // A drive's root keeps its backslash ("\\?\C:\"); other folders lose theirs.
    if (out.size() > 7 && out.back() == L'\\') out.pop_back();
    if (out.size() == 6 && out[5] == L':') out += L'\\';
    return out;
}

std::string FromSystem(const std::wstring& path) {
    std::wstring w = path;
    if (w.rfind(L"\\\\?\\UNC\\", 0) == 0)
        w = L"\\\\" + w.substr(8);
    else if (w.rfind(L"\\\\?\\", 0) == 0)
        w = w.substr(4);
    std::string out = Narrow(w);
    for (auto& ch : out)
        if (ch == '\\') ch = '/';
    return out;
}

int64_t UnixSeconds(const FILETIME& t) {
    const uint64_t ticks = (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    return static_cast<int64_t>(ticks / 10000000ull) - 11644473600ll;
}

} // namespace nrvs::platform::win
