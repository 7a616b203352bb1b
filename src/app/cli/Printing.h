// Output shared by the verbs.
#pragma once

#include <string>

namespace nrvs::cli {

// A byte count or other figure as a whole number, never in exponent form.
std::string Number(double v);

// A line of output that holds names. On a terminal the escape mark that
// tells a real "＼" from one standing for a backslash byte is shown
// visibly; a pipe gets the names as they are, to be given back to this
// tool.
void PrintLine(const std::string& line);

} // namespace nrvs::cli
