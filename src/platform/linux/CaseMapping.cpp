#include "platform/SystemServices.h"

#include <clocale>
#include <cwctype>
#include <iconv.h>
#include <locale.h>

namespace nrvs::platform {

namespace {
// Case mappings of the whole Unicode range come from the C library's
// built-in UTF-8 locale, whatever locale the process runs in.
locale_t CaseLocale() {
    static locale_t loc = [] {
        locale_t l = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return l ? l : ::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(nullptr));
    }();
    return loc;
}
} // namespace

char32_t SystemLower(char32_t cp) {
    return static_cast<char32_t>(::towlower_l(static_cast<wint_t>(cp), CaseLocale()));
}

char32_t SystemUpper(char32_t cp) {
    return static_cast<char32_t>(::towupper_l(static_cast<wint_t>(cp), CaseLocale()));
}

bool FromShiftJis(std::string_view part, std::string& out) {
    iconv_t cd = ::iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::string in(part);
    std::string buf(part.size() * 3 + 4, '\0');
    char* src = in.data();
    size_t srcLeft = in.size();
    char* dst = buf.data();
    size_t dstLeft = buf.size();
    const bool ok =
        ::iconv(cd, &src, &srcLeft, &dst, &dstLeft) != static_cast<size_t>(-1) && srcLeft == 0;
    ::iconv_close(cd);
    if (!ok) return false;
    out.assign(buf.data(), buf.size() - dstLeft);
    return true;
}

bool IsAbsoluteNative(std::string_view nativePath) {
    return !nativePath.empty() && nativePath.front() == '/';
}

} // namespace nrvs::platform
