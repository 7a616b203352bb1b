// Whole input documents given by the user (a file or standard input),
// unpacked when they are gzip-compressed. The one place zlib is used.
#pragma once

#include <cstddef>
#include <string>

namespace nrvs::platform {

// Reads a regular file, or standard input for "-", into out, followed by
// `padding` bytes of room (out.size() is the document's length, capacity
// at least that plus padding). Data starting with the gzip magic bytes is
// unpacked (several members in a row as one stream). More than limit bytes,
// read or unpacked, is refused rather than held. False with why (one line
// for the user) when it cannot be read, is damaged or too large.
bool ReadInputDocument(const std::string& nativePathOrDash, size_t limit, size_t padding,
                       std::string& out, std::string* why = nullptr);

// Unpacks gzip data (several members in a row) into out, at most limit
// bytes. False with why when the data is damaged, cut short or too large.
bool Gunzip(const std::string& packed, size_t limit, size_t padding, std::string& out,
            std::string* why = nullptr);

} // namespace nrvs::platform
