#include "lib/SettingsLines.h"

#include "lib/NumberText.h"

namespace nrvs {

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
    if (list.size() <= static_cast<size_t>(position))
        list.resize(static_cast<size_t>(position) + 1);
    list[static_cast<size_t>(position)] = text;
    return 1;
}

int PutIntAt(StringList& list, int position, int value) {
    return PutLineAt(list, position, std::to_string(value));
}

int PutFloatAt(StringList& list, int position, double value) {
    return PutLineAt(list, position, FloatText(value));
}

void ReadWindowPlace(const StringList& lines, int first, int& left, int& top, int& width,
                     int& height) {
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

std::pair<std::string, std::string> SplitNameValue(std::string_view text) {
    return SplitFirst(text, "=");
}

std::string JoinNameValue(std::string_view name, std::string_view value) {
    std::string out(name);
    out += '=';
    out += value;
    return out;
}

void ForEachKeyValue(std::string_view text,
                     const std::function<void(const std::string&, const std::string&)>& fn) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find_first_of("\r\n", at);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(at, end - at);
        at = end + 1;
        const size_t eq = line.find('=');
        if (eq != std::string_view::npos)
            fn(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1)));
    }
}

int DigitAt(std::string_view text, int n) {
    if (n < 0 || static_cast<size_t>(n) >= text.size()) return -1;
    return static_cast<unsigned char>(text[static_cast<size_t>(n)]) - '0';
}

int ChoiceIndex(std::string_view text) {
    size_t p = text.find('1');
    return p == std::string_view::npos ? -1 : static_cast<int>(p);
}

std::string YesNoText(int flag) {
    return flag ? "yes" : "no";
}

} // namespace nrvs
