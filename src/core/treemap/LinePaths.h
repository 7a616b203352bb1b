// Paths of the folder lines a map reads, taken apart without parsing the
// rest of the line.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>

namespace nrvs {

// Where a line's path ends, as PathOfLine finds it (the last " > "), npos
// for a line without one: a word at a time from the end, skipping the
// words of numbers that hold no '>'. Every line of a drive passes here.
inline size_t PathLength(std::string_view line) {
    if (line.size() < 3) return std::string_view::npos;
    const char* d = line.data();
    for (size_t i = line.size() - 2; i >= 1; --i) {
        if (i >= 8) {
            uint64_t w;
            std::memcpy(&w, d + i - 7, 8);
            const uint64_t x = w ^ 0x3E3E3E3E3E3E3E3EULL;
            if (((x - 0x0101010101010101ULL) & ~x & 0x8080808080808080ULL) == 0) {
                i -= 7;
                continue;
            }
        }
        if (d[i] == '>' && d[i - 1] == ' ' && d[i + 1] == ' ') return i - 1;
    }
    return std::string_view::npos;
}

inline std::string_view LastName(std::string_view path) {
    if (path.empty()) return path;
    std::string_view p = path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
    size_t s = p.rfind('\\');
    return s == std::string_view::npos ? p : p.substr(s + 1);
}

// Hashes of paths: the library's, which reads a word at a time.
inline uint64_t PathHash(std::string_view path) {
    return std::hash<std::string_view>{}(path);
}

} // namespace nrvs
