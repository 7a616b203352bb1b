// Writing code points as UTF-8, for the backends' text at the boundary of the
// system's own encodings.
#pragma once

#include <string>

namespace nrvs::platform {

// Appends a code point as UTF-8 (a surrogate as its three bytes, which
// WTF-8 keeps).
void AppendUtf8(std::string& out, char32_t cp);

} // namespace nrvs::platform
