// The bytes of an export before the JSON parser reads them: names that are
// not UTF-8, which ncdu keeps exactly as the file system gave them, and the
// \uXXXX escapes of the strings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nrvs::exportbytes {

// The parser only takes UTF-8, so each byte that is not is replaced by a '?'
// for it and put back into the names read.
struct Replaced {
    size_t offset;
    char byte;
};

// The length of the UTF-8 sequence at s (left bytes there), 0 when it is none.
size_t Utf8Length(const unsigned char* s, size_t left);
// Replaces every byte of doc's first length bytes that is not UTF-8 by '?'
// and notes it in replaced.
void ReplaceInvalidUtf8(std::string& doc, size_t length, std::vector<Replaced>& replaced);
// The value of four hex digits.
uint32_t Hex4(const char* p);

} // namespace nrvs::exportbytes
