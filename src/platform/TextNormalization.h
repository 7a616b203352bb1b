// Folding of names for matching them whatever their case and form: NFKC
// with case folding where the Unicode tables are built in, case folding of
// one code point at a time otherwise.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nrvs::platform {

// Length of the valid UTF-8 sequence at pos, or 0 when the byte there does
// not start one.
size_t ValidUtf8SequenceAt(std::string_view text, size_t pos);

// Folds a run of valid UTF-8 and appends it to out.
void AppendFoldedRun(std::string& out, std::string_view run);

} // namespace nrvs::platform
