#include "lib/Text.h"

#include "platform/FileAccess.h"
#include "platform/LineFiles.h"
#include "platform/Utf8.h"

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace nrvs {

// ---- line-indexed string lists ----

std::string LineAt(const StringList& list, int position, const std::string& def) {
    if (position < 0 || static_cast<size_t>(position) >= list.size()) return def;
    return list[static_cast<size_t>(position)];
}

int IntAt(const StringList& list, int position, int def) {
    if (position < 0 || static_cast<size_t>(position) >= list.size()) return def;
    int v;
    return ParseInt(list[static_cast<size_t>(position)], v) ? v : def;
}

double FloatAt(const StringList& list, int position, double def) {
    if (position < 0 || static_cast<size_t>(position) >= list.size()) return def;
    return TextToFloat(list[static_cast<size_t>(position)], def);
}

int PutLineAt(StringList& list, int position, const std::string& text) {
    if (position < 0) return 0;
    if (list.size() <= static_cast<size_t>(position)) list.resize(static_cast<size_t>(position) + 1);
    list[static_cast<size_t>(position)] = text;
    return 1;
}

int PutIntAt(StringList& list, int position, int value) {
    return PutLineAt(list, position, std::to_string(value));
}

int PutFloatAt(StringList& list, int position, double value) {
    return PutLineAt(list, position, FloatText(value));
}

void TextToLines(StringList& list, std::string_view text) { platform::SplitLines(text, list); }

int LoadLines(StringList& list, const std::string& fileName) {
    return platform::ReadFileLines(fileName, list) ? 1 : 0;
}

int SaveLines(const StringList& list, const std::string& fileName) {
    return platform::ReplaceFileWithLines(fileName, list) ? 1 : 0;
}

void TellSaveFailed(const std::string& fileName) {
    ShowMessageBox("ファイルを保存できませんでした。\n" + fileName + "\n" + platform::LastWriteError(), MB_ICONSTOP);
}

void ReadWindowPlace(const StringList& lines, int first, int& left, int& top, int& width, int& height) {
    const int l = IntAt(lines, first, left), t = IntAt(lines, first + 1, top);
    const int w = IntAt(lines, first + 2, width), h = IntAt(lines, first + 3, height);
    if (l >= -10000 && l <= 100000 && t >= -10000 && t <= 100000) left = l, top = t;
    if (w >= 200 && w <= 20000 && h >= 150 && h <= 20000) width = w, height = h;
}

bool ReadColumnWidths(const std::string& text, size_t count, std::vector<int>& out) {
    StringList parts;
    SplitToLines(parts, ",", text);
    if (parts.size() != count) return false;
    std::vector<int> w(count, 0);
    for (size_t c = 0; c < count; ++c)
        if (!ParseInt(parts[c], w[c]) || w[c] < 0 || w[c] > 5000) return false;
    out = std::move(w);
    return true;
}

std::string JoinLines(const StringList& list, std::string_view separator) {
    std::string out;
    for (size_t i = 0; i < list.size(); ++i) {
        if (i) out += separator;
        out += list[i];
    }
    return out;
}

void SplitToLines(StringList& list, std::string_view separator, std::string_view text) {
    list.clear();
    std::string rest(text);
    while (!rest.empty()) {
        auto [head, tail] = SplitFirst(rest, separator);
        list.push_back(std::move(head));
        rest = std::move(tail);
    }
}

// ---- text helpers ----

std::pair<std::string, std::string> SplitFirst(std::string_view text, std::string_view separator) {
    size_t p = separator.empty() ? std::string_view::npos : text.find(separator);
    if (p == std::string_view::npos) return {std::string(text), std::string()};
    return {std::string(text.substr(0, p)), std::string(text.substr(p + separator.size()))};
}

std::pair<std::string, std::string> SplitNameValue(std::string_view text) { return SplitFirst(text, "="); }

std::string JoinNameValue(std::string_view name, std::string_view value) {
    std::string out(name);
    out += '=';
    out += value;
    return out;
}

std::string Concat3(std::string_view a, std::string_view b, std::string_view c) {
    std::string out;
    out.reserve(a.size() + b.size() + c.size());
    out += a;
    out += b;
    out += c;
    return out;
}

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
    while (i + 1 < exp.size() && exp[i] == '0') ++i;
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
    if (res.ec != std::errc() || res.ptr != text.data() + text.size() || !std::isfinite(v)) return def;
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

int DigitAt(std::string_view text, int n) {
    if (n < 0 || static_cast<size_t>(n) >= text.size()) return -1;
    return static_cast<unsigned char>(text[static_cast<size_t>(n)]) - '0';
}

int ChoiceIndex(std::string_view text) {
    size_t p = text.find('1');
    return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

std::string YesNoText(int flag) { return flag ? "yes" : "no"; }

std::string FormatText(const char* templ, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, templ);
    int n = std::vsnprintf(buf, sizeof buf, templ, ap);
    va_end(ap);
    if (n < 0) return {};
    return std::string(buf);
}

// ---- size formatting ----

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

// ---- bar colours ----

uint32_t BarColour(int image, int htmlForm) {
    uint32_t rgb;
    switch (image) {
    case 7: rgb = 0xFFCC00; break;
    case 9: rgb = 0x9999FF; break;
    case 10: rgb = 0x000050; break;
    case 20: rgb = 0x4D5DBD; break;
    case 44: rgb = 0xFF8000; break;
    default: rgb = 0x000000; break;
    }
    if (htmlForm) return rgb;
    return ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
}

// ---- message boxes ----

namespace {
MessageUi* g_messageUi = nullptr;
int g_fallbackAnswer = ID_NO;
} // namespace

void SetMessageUi(MessageUi* ui) { g_messageUi = ui; }
MessageUi* CurrentMessageUi() { return g_messageUi; }
void SetFallbackAnswer(int answer) { g_fallbackAnswer = answer; }

void ShowMessageBox(const std::string& text, int style) {
    if (g_messageUi) {
        g_messageUi->ShowMessage(text, style);
        return;
    }
    // Plain stdio: the streams library would be set up in every program,
    // the command-line tool included, for this one line.
    std::fprintf(stderr, "Norvessa: %s\n", text.c_str());
}

int AskYesNo(const std::string& text, int style) {
    if (g_messageUi) return g_messageUi->AskQuestion(text, style);
    return g_fallbackAnswer;
}

void ForEachKeyValue(std::string_view text, const std::function<void(const std::string&, const std::string&)>& fn) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        const size_t eq = line.find('=');
        if (eq != std::string_view::npos) fn(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
    }
}

void AppendUtf8(std::string& out, char32_t cp) { platform::AppendUtf8(out, cp); }

} // namespace nrvs
