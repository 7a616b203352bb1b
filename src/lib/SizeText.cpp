#include "lib/SizeText.h"

#include "lib/NumberText.h"

#include <charconv>

namespace nrvs {

std::string GroupedNumber(double value, int decimals) {
    char buf[400];
    auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (res.ec != std::errc()) return FloatText(value);
    std::string s(buf, res.ptr);
    bool neg = !s.empty() && s[0] == '-';
    if (neg) s.erase(0, 1);
    size_t dot = s.find('.');
    std::string whole = s.substr(0, dot);
    std::string frac = dot == std::string::npos ? "" : s.substr(dot);
    std::string out;
    out.reserve(whole.size() + whole.size() / 3 + frac.size() + 1);
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i && (whole.size() - i) % 3 == 0) out += ',';
        out += whole[i];
    }
    out += frac;
    if (neg && out.find_first_not_of("0.,") != std::string::npos) out.insert(0, "-");
    return out;
}

SizeText FormatSize(double x, int u) {
    if (x < 0) return {"未計測", ""};
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    static const double scale[] = {1.0, 1024.0, 1048576.0, 1073741824.0, 1099511627776.0};
    int k;
    if (u <= 0) {
        k = 1 + (x >= 1024) + (x >= 1048576) + (x >= 1073741824) + (x >= 1099511627776.0);
    } else {
        k = u > 5 ? 5 : u;
    }
    double v = x / scale[k - 1];
    if (u <= 0) {
        while (v >= 1000 && k < 5) {
            ++k;
            v = x / scale[k - 1];
        }
    }
    return {GroupedNumber(v, k > 1 ? 2 : 0), units[k - 1]};
}

std::string FormatSizeText(double bytes, int unit) {
    SizeText t = FormatSize(bytes, unit);
    return t.Number + " " + t.Unit;
}

std::string FormatSignedSizeText(double bytes, int unit) {
    if (bytes >= 0) return FormatSizeText(bytes, unit);
    SizeText t = FormatSize(-bytes, unit);
    // Rounded to nothing, it is no negative size.
    const bool zero = t.Number.find_first_not_of("0.,") == std::string::npos;
    return (zero ? "" : "-") + t.Number + " " + t.Unit;
}

} // namespace nrvs
