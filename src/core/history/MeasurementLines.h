// What the readers of measurements in this folder share: the separator of a
// folder line, the checks of its lines and of the volume note, and ranking.
#pragma once

#include "core/history/PreviousMeasurement.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nrvs {

inline constexpr std::string_view kSep = " > ";

inline bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// One folder line (line number of the file) of a measurement of drive letter.
PreviousState CheckLine(std::string_view line, char letter, size_t number, PreviousFault* fault);

// "header<TAB>volume" of a line of the volume note.
std::pair<std::string, std::string> NoteLine(const StringList& lines, size_t n);

template <typename T, typename Less> void TakeTop(std::vector<T>& items, size_t top, Less less) {
    if (top > 0 && top < items.size()) {
        std::partial_sort(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(top),
                          items.end(), less);
        items.resize(top);
    } else {
        std::sort(items.begin(), items.end(), less);
    }
}

} // namespace nrvs
