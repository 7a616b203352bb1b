// Program-form paths ("X:\dir\sub\", folders ending with a backslash) and their
// native form (the drive's root directory, then '/'-separated names).
//
// A native name may hold bytes that the program's text forms cannot carry: a
// backslash is shown as U+FF3C, control characters U+0001..U+001F as
// U+2401..U+241F. The translation back restores them, so tab-separated rows and
// line-based files stay whole whatever the names hold.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs::platform {

// Native name bytes -> shown name, and back.
std::string ShownName(std::string_view nativeName);
std::string NativeName(std::string_view shownName);
// Text to show in a window, where a name's bytes must become characters: the
// text itself when it is UTF-8; else each part between backslashes that is
// not UTF-8 read as Shift-JIS (CP932, the code page of names from older
// Japanese systems and archives) when it is valid there, and otherwise with
// every stray byte as "%XX". Only for showing: the bytes stay what the
// program acts on.
std::string DisplayText(std::string_view text);
// Text for a terminal: every escape mark U+E05C, which no font shows, as the
// visible "<U+E05C>", so that a real "＼" (shown "<U+E05C>＼") and one that
// stands for a backslash byte ("＼") can be told apart. Only for showing:
// the result is no longer a program-form name.
std::string VisibleMarks(std::string_view text);

// "C:\a\b\" -> "<root of C>/a/b/". False when the path has no drive letter or
// the letter has no root.
bool ToNative(std::string_view programPath, std::string& nativePath);
std::string ToNative(std::string_view programPath);

// A program path checked for an operation that changes the disk: the drive's
// native root and the native names below it.
struct ItemPath {
    int Letter = -1;
    std::string Root;
    std::vector<std::string> Names; // empty for the drive's root
    bool IsRoot() const { return Names.empty(); }
    std::string Native() const;
};

// The one check of a program path before any copy, move, delete or
// measurement: "X:\" and names separated by single backslashes (one more may
// end a folder's path), no empty name, no "." or "..", no '/' or NUL in a
// name, the letter in use. False with the reason in why otherwise.
bool CheckProgramPath(std::string_view programPath, ItemPath& out, std::string* why = nullptr);

// "/mnt/x/a" -> "D:\a" using the drive whose root is the longest prefix of the
// path. False when the path lies on no drive. Relative paths are not accepted.
bool ToProgram(std::string_view nativePath, std::string& programPath);

// Lead byte test of a double-byte code page; UTF-8 never needs one.
inline bool IsLeadByte(unsigned char) {
    return false;
}

// Case-insensitive order of UTF-8 strings (CompareStringA with ignore-case):
// ASCII folded fast, other code points compared after lower-casing. A strict
// weak order; bytes that are not UTF-8 sort after every character.
int CompareTextIgnoreCase(std::string_view a, std::string_view b);
// How many bytes a and b share from their start (the shorter one's length
// when it begins the other).
size_t SamePrefix(std::string_view a, std::string_view b);
inline bool LessIgnoreCase(std::string_view a, std::string_view b) {
    return CompareTextIgnoreCase(a, b) < 0;
}
// A hash that texts equal under CompareTextIgnoreCase share, for looking up
// names without regard to case.
uint64_t HashIgnoreCase(std::string_view text);
// Whether text begins with prefix under CompareTextIgnoreCase: in a list in
// that order, the texts that do are one run.
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);

} // namespace nrvs::platform

namespace nrvs::platform {
// Upper-cased UTF-8 text (code point by code point; stray bytes unchanged),
// the locale's upper-casing the list's name order compares.
std::string UpperText(std::string_view text);
} // namespace nrvs::platform
