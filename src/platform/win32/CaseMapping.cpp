#include "platform/SystemServices.h"

#include "platform/win32/WideApi.h"

namespace nrvs::platform {

namespace {
char32_t MapCase(char32_t cp, DWORD how) {
    if (cp >= 0x10000) return cp; // one UTF-16 unit at a time
    wchar_t in = static_cast<wchar_t>(cp), out = 0;
    if (::LCMapStringEx(LOCALE_NAME_INVARIANT, how, &in, 1, &out, 1, nullptr, nullptr, 0) != 1)
        return cp;
    return static_cast<char32_t>(static_cast<uint16_t>(out));
}
} // namespace

char32_t SystemLower(char32_t cp) {
    return MapCase(cp, LCMAP_LOWERCASE);
}
char32_t SystemUpper(char32_t cp) {
    return MapCase(cp, LCMAP_UPPERCASE);
}

bool FromShiftJis(std::string_view part, std::string& out) {
    if (part.empty()) {
        out.clear();
        return true;
    }
    const int n = ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, part.data(),
                                        static_cast<int>(part.size()), nullptr, 0);
    if (n <= 0) return false;
    std::wstring w(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, part.data(), static_cast<int>(part.size()),
                          w.data(), n);
    out = win::Narrow(w);
    return true;
}

bool IsAbsoluteNative(std::string_view p) {
    if (p.size() >= 3 && p[1] == ':' && (p[2] == '/' || p[2] == '\\')) return true;
    return p.size() >= 2 && (p[0] == '/' || p[0] == '\\') && (p[1] == '/' || p[1] == '\\');
}

} // namespace nrvs::platform
