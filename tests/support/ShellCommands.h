// Commands of the system's own tools run by tests that compare with them
// (stat, blkid, mkfs): whether one succeeded, and what one printed.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

namespace nrvs::test {

// Whether command ran and exited 0; its output goes nowhere.
inline bool Shell(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// What command printed on its standard output, without its last line ends.
inline std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[256];
        while (size_t n = std::fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

} // namespace nrvs::test
