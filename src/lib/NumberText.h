// Numbers written as the program's files and messages write them, and read
// back: no helper throws, a text that does not convert gives the caller's
// default or false.
#pragma once

#include <string>
#include <string_view>

namespace nrvs {

// General form with at most 15 significant digits: 1E15, 1.5E-5, 999999999999999.
std::string FloatText(double value);
// Plain or scientific decimal text; def when the text is no finite number.
double TextToFloat(std::string_view text, double def);
// Signed 32-bit decimal integer; def when the text does not convert.
bool ParseInt(std::string_view text, int& out);
int IntegerPart(double value);

std::string FormatText(const char* templ, ...) __attribute__((format(printf, 1, 2)));

// Appends a code point as UTF-8 (a surrogate as its three bytes, which
// WTF-8 keeps).
void AppendUtf8(std::string& out, char32_t cp);

} // namespace nrvs
