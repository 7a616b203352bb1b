#include "platform/LineFiles.h"

#include "platform/FileAccess.h"

namespace nrvs::platform {

void SplitLines(std::string_view text, std::vector<std::string>& lines) {
    lines.clear();
    size_t start = 0;
    const size_t n = text.size();
    while (start < n) {
        size_t i = start;
        while (i < n && text[i] != '\r' && text[i] != '\n')
            ++i;
        lines.emplace_back(text.substr(start, i - start));
        if (i < n) i += (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
}

bool ReadFileLines(const std::string& nativePath, std::vector<std::string>& lines) {
    lines.clear();
    std::string data;
    if (!ReadWholeFile(nativePath, data)) return false;
    SplitLines(data, lines);
    return true;
}

} // namespace nrvs::platform
