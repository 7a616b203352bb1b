#include "lib/StringList.h"

#include "platform/FileAccess.h"
#include "platform/LineFiles.h"

namespace nrvs {

void TextToLines(StringList& list, std::string_view text) {
    platform::SplitLines(text, list);
}

int LoadLines(StringList& list, const std::string& fileName) {
    return platform::ReadFileLines(fileName, list) ? 1 : 0;
}

int SaveLines(const StringList& list, const std::string& fileName) {
    return platform::ReplaceFileWithLines(fileName, list) ? 1 : 0;
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

std::pair<std::string, std::string> SplitFirst(std::string_view text, std::string_view separator) {
    size_t p = separator.empty() ? std::string_view::npos : text.find(separator);
    if (p == std::string_view::npos) return {std::string(text), std::string()};
    return {std::string(text.substr(0, p)), std::string(text.substr(p + separator.size()))};
}

std::string Concat3(std::string_view a, std::string_view b, std::string_view c) {
    std::string out;
    out.reserve(a.size() + b.size() + c.size());
    out += a;
    out += b;
    out += c;
    return out;
}

} // namespace nrvs
