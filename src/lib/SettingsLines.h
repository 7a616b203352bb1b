// The lines of the program's settings files: a value by its line number,
// a window's place, column widths, name=value lines and the flag texts
// ("010") the parameters keep.
//
// No helper throws: a line missing or no number gives the caller's default.
#pragma once

#include "lib/StringList.h"

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nrvs {

std::string LineAt(const StringList& list, int position, const std::string& def);
int IntAt(const StringList& list, int position, int def);
double FloatAt(const StringList& list, int position, double def);
int PutLineAt(StringList& list, int position, const std::string& text);
int PutIntAt(StringList& list, int position, int value);
int PutFloatAt(StringList& list, int position, double value);

// A window's kept place and size, lines first to first + 3 of a settings
// file (left, top, width, height). Each pair is taken only when a screen
// could show it: a damaged file leaves the window where it opens first.
void ReadWindowPlace(const StringList& lines, int first, int& left, int& top, int& width,
                     int& height);
// Column widths kept as "w1,w2,...": exactly count of them, each 0 to 5000;
// false (out untouched) otherwise.
bool ReadColumnWidths(const std::string& text, size_t count, std::vector<int>& out);

std::pair<std::string, std::string> SplitNameValue(std::string_view text);
std::string JoinNameValue(std::string_view name, std::string_view value);
// Calls fn(key, value) for each "key=value" line of text (CR, LF or both
// end a line; lines without '=' are skipped): the small note files beside
// the caches.
void ForEachKeyValue(std::string_view text,
                     const std::function<void(const std::string&, const std::string&)>& fn);

int DigitAt(std::string_view text, int n);
int ChoiceIndex(std::string_view text);
std::string YesNoText(int flag);

} // namespace nrvs
