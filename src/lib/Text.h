// Shared helpers: line-indexed string lists, text and number helpers,
// size formatting, message boxes and bar colours.
//
// Every text is a byte string in the system code page (UTF-8 here). No helper
// throws: conversions fall back to the caller's default, file helpers return 0.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace nrvs {

using StringList = std::vector<std::string>;

// ---- line-indexed string lists ----

std::string LineAt(const StringList& list, int position, const std::string& def);
int IntAt(const StringList& list, int position, int def);
double FloatAt(const StringList& list, int position, double def);
int PutLineAt(StringList& list, int position, const std::string& text);
int PutIntAt(StringList& list, int position, int value);
int PutFloatAt(StringList& list, int position, double value);

// Reads a text file; lines may end with CR LF, LF or CR. 1 on success; on any
// failure 0 and an empty list.
int LoadLines(StringList& list, const std::string& fileName);
// Writes every line followed by CR LF, replacing the file atomically. 1 on
// success; on failure 0 and the old file untouched.
int SaveLines(const StringList& list, const std::string& fileName);
// Tells the user (a message box) that a file of the program's own could not
// be saved, naming it and the reason of the failed SaveLines just before.
void TellSaveFailed(const std::string& fileName);
// Splits text into lines the way LoadLines does.
void TextToLines(StringList& list, std::string_view text);

std::string JoinLines(const StringList& list, std::string_view separator);
void SplitToLines(StringList& list, std::string_view separator, std::string_view text);

// A window's kept place and size, lines first to first + 3 of a settings
// file (left, top, width, height). Each pair is taken only when a screen
// could show it: a damaged file leaves the window where it opens first.
void ReadWindowPlace(const StringList& lines, int first, int& left, int& top, int& width, int& height);
// Column widths kept as "w1,w2,...": exactly count of them, each 0 to 5000;
// false (out untouched) otherwise.
bool ReadColumnWidths(const std::string& text, size_t count, std::vector<int>& out);

// ---- text helpers ----

std::pair<std::string, std::string> SplitFirst(std::string_view text, std::string_view separator);
std::pair<std::string, std::string> SplitNameValue(std::string_view text);
std::string JoinNameValue(std::string_view name, std::string_view value);
std::string Concat3(std::string_view a, std::string_view b, std::string_view c);

// General form with at most 15 significant digits: 1E15, 1.5E-5, 999999999999999.
std::string FloatText(double value);
// Plain or scientific decimal text; def when the text is no finite number.
double TextToFloat(std::string_view text, double def);
// Signed 32-bit decimal integer; def when the text does not convert.
bool ParseInt(std::string_view text, int& out);
int IntegerPart(double value);

int DigitAt(std::string_view text, int n);
int ChoiceIndex(std::string_view text);
std::string YesNoText(int flag);
std::string FormatText(const char* templ, ...) __attribute__((format(printf, 1, 2)));

// ---- size formatting ----

struct SizeText {
    std::string Number;
    std::string Unit;
};
// unit: 0 automatic, 1 B, 2 KB, 3 MB, 4 GB, 5 TB.
SizeText FormatSize(double bytes, int unit);
// Number, one blank, unit; "未計測 " for a negative (unmeasured) count.
std::string FormatSizeText(double bytes, int unit);
// A difference of two measured sizes (the cluster gap, negative for sparse
// and compressed files): "-9.99 MB" below zero, never "未計測".
std::string FormatSignedSizeText(double bytes, int unit);
// Digits with thousands separators and the given number of decimals.
std::string GroupedNumber(double value, int decimals);

// ---- bar colours ----

// Colour of a list row's bar by its image number; htmlForm 0 gives the drawing
// form (blue in the high byte), 1 the RGB number used in HTML.
uint32_t BarColour(int image, int htmlForm);

// ---- message boxes ----

enum : int {
    MB_ICONSTOP = 16,
    MB_ICONQUESTION = 32,
    MB_ICONWARNING = 48,
    MB_ICONINFORMATION = 64,
    MB_DEFBUTTON2 = 256,
    ID_YES = 6,
    ID_NO = 7,
};

// The windows install an implementation; without one (tests, the command-line
// tool) messages go to standard error and questions are answered by the
// installed fallback answer (No unless changed).
class MessageUi {
public:
    virtual ~MessageUi() = default;
    virtual void ShowMessage(const std::string& text, int style) = 0;
    virtual int AskQuestion(const std::string& text, int style) = 0;
};

void SetMessageUi(MessageUi* ui);
MessageUi* CurrentMessageUi();
void SetFallbackAnswer(int answer);

void ShowMessageBox(const std::string& text, int style);
int AskYesNo(const std::string& text, int style);

// Calls fn(key, value) for each "key=value" line of text (CR, LF or both
// end a line; lines without '=' are skipped): the small note files beside
// the caches.
void ForEachKeyValue(std::string_view text, const std::function<void(const std::string&, const std::string&)>& fn);

// Appends a code point as UTF-8 (a surrogate as its three bytes, which
// WTF-8 keeps).
void AppendUtf8(std::string& out, char32_t cp);

} // namespace nrvs
