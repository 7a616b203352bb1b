#include "lib/NumberText.h"

#include "platform/Utf8.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace nrvs {

std::string FloatText(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (value == 0) return "0";
    char buf[64];
    // Whole numbers of up to fifteen digits (every byte count) come out as
    // the general form writes them, with its digits: as integers, which are
    // written much faster.
    if (value > -1e15 && value < 1e15 && value == std::trunc(value)) {
        auto res = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(value));
        return std::string(buf, res.ptr);
    }
    // to_chars is independent of the C locale, which the toolkit sets from the
    // environment; the general form switches to scientific exactly where the
    // file format expects it (exponent below -4 or 15 and above).
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    std::string s(buf, res.ptr);
    size_t e = s.find('e');
    if (e == std::string::npos) return s;
    std::string mant = s.substr(0, e);
    std::string exp = s.substr(e + 1);
    bool neg = !exp.empty() && exp[0] == '-';
    size_t i = (!exp.empty() && (exp[0] == '-' || exp[0] == '+')) ? 1 : 0;
    while (i + 1 < exp.size() && exp[i] == '0')
        ++i;
    return mant + "E" + (neg ? "-" : "") + exp.substr(i);
}

double TextToFloat(std::string_view text, double def) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return def;
    // from_chars would take "inf" and "nan"; the files never hold them.
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E'))
            return def;
    double v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v))
        return def;
    return v;
}

bool ParseInt(std::string_view text, int& out) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty() || text.front() == '+') return false;
    int v = 0;
    auto res = std::from_chars(text.data(), text.data() + text.size(), v, 10);
    if (res.ec != std::errc() || res.ptr != text.data() + text.size()) return false;
    out = v;
    return true;
}

int IntegerPart(double value) {
    if (std::isnan(value)) return 0;
    double t = std::trunc(value);
    if (t >= 2147483647.0) return 2147483647;
    if (t <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(t);
}

std::string FormatText(const char* templ, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, templ);
    int n = std::vsnprintf(buf, sizeof buf, templ, ap);
    va_end(ap);
    if (n < 0) return {};
    return std::string(buf);
}

void AppendUtf8(std::string& out, char32_t cp) {
    platform::AppendUtf8(out, cp);
}

} // namespace nrvs
