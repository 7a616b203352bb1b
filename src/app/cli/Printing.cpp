#include "app/cli/Printing.h"

#include "platform/Paths.h"
#include "platform/ProgramLocation.h"

#include <cstdio>

namespace nrvs::cli {

std::string Number(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return buf;
}

void PrintLine(const std::string& line) {
    static const bool terminal = platform::IsTerminal(1);
    if (terminal)
        std::printf("%s\n", platform::VisibleMarks(line).c_str());
    else
        std::printf("%s\n", line.c_str());
}

} // namespace nrvs::cli
