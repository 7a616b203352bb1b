// Lists of lines, the form every line-based helper takes: text files read
// and written as lines, and text split into pieces and joined again.
//
// Every text is a byte string in the system code page (UTF-8 here). No helper
// throws: file helpers return 0.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nrvs {

using StringList = std::vector<std::string>;

// Reads a text file; lines may end with CR LF, LF or CR. 1 on success; on any
// failure 0 and an empty list.
int LoadLines(StringList& list, const std::string& fileName);
// Writes every line followed by CR LF, replacing the file atomically. 1 on
// success; on failure 0 and the old file untouched.
int SaveLines(const StringList& list, const std::string& fileName);
// Splits text into lines the way LoadLines does.
void TextToLines(StringList& list, std::string_view text);

std::string JoinLines(const StringList& list, std::string_view separator);
void SplitToLines(StringList& list, std::string_view separator, std::string_view text);

std::pair<std::string, std::string> SplitFirst(std::string_view text, std::string_view separator);
std::string Concat3(std::string_view a, std::string_view b, std::string_view c);

} // namespace nrvs
