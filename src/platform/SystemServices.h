// What the platform layer's shared code (Paths.cpp, ProgramLocation.cpp) asks of the
// system it runs on. Not part of the contract: only the platform layer
// includes it.
#pragma once

#include <string>
#include <string_view>

namespace nrvs::platform {

// Simple (one to one) case mappings of a Unicode code point.
char32_t SystemLower(char32_t cp);
char32_t SystemUpper(char32_t cp);
// Text of Windows code page 932 (Shift JIS) as UTF-8; false when it is not.
bool FromShiftJis(std::string_view part, std::string& out);
// Whether a native path is absolute (begins at a root of the system).
bool IsAbsoluteNative(std::string_view nativePath);
// The running executable's native path, as the system gave it at start.
const std::string& StartExecutablePath();

} // namespace nrvs::platform
