// Shared helpers of the Windows backend: text at the boundary of the wide
// API, and native paths in the form the API takes. Only win32/*.cpp include it.
#pragma once

// Included after the contract's headers: their constants
// (FILE_ATTRIBUTE_READONLY, DRIVE_FIXED) carry the values of the Windows
// macros of the same names, which take over from here on.
#include <windows.h>
// The contract's ReplaceFile is no alias of the Windows ReplaceFileW.
#undef ReplaceFile

#include <cstdint>
#include <string>
#include <string_view>

namespace nrvs::platform::win {

// UTF-16 as WTF-8: an unpaired surrogate becomes the three bytes it would
// have as a code point, so that every name the system can return survives
// the round trip.
std::string Narrow(const wchar_t* text, size_t length);
inline std::string Narrow(const std::wstring& text) {
    return Narrow(text.data(), text.size());
}
// WTF-8 (and so UTF-8) back to UTF-16; a byte that starts no sequence
// becomes U+FFFD.
std::wstring Wide(std::string_view text);

// A native path ("C:/dir/name", either separator) as the wide API takes
// paths of any length: "\\?\C:\dir\name", separators made backslashes and
// doubled ones dropped; a relative path is made absolute first.
std::wstring LongPath(std::string_view nativePath);
// A path from the API as a native path: no "\\?\" prefix, '/' separators.
std::string FromSystem(const std::wstring& path);

// Seconds since 1970 of a FILETIME.
int64_t UnixSeconds(const FILETIME& t);

} // namespace nrvs::platform::win
