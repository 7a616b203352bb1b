// Input documents given by the user (a file or standard input), unpacked
// when they are gzip-compressed. The one place zlib is used.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace nrvs::platform {

// Reads a regular file, or standard input for "-", into out, followed by
// `padding` bytes of room (out.size() is the document's length, capacity
// at least that plus padding). Data starting with the gzip magic bytes is
// unpacked (several members in a row as one stream). More than limit bytes
// (unpacked) is refused rather than held. False with why (one line
// for the user) when it cannot be read, is damaged or too large.
bool ReadInputDocument(const std::string& nativePathOrDash, size_t limit, size_t padding,
                       std::string& out, std::string* why = nullptr);

// The same documents read a block at a time, so that a reader holds only
// what it keeps of them: gzip data is unpacked as it is read.
class InputStream {
  public:
    InputStream();
    ~InputStream();
    InputStream(const InputStream&) = delete;
    InputStream& operator=(const InputStream&) = delete;

    // A regular file, or standard input for "-". False with why when it
    // cannot be opened or is no regular file.
    bool Open(const std::string& nativePathOrDash, std::string* why = nullptr);
    // Up to capacity bytes of the (unpacked) document into buffer; got is 0
    // at its end. False with why when it cannot be read or is damaged.
    bool Read(char* buffer, size_t capacity, size_t& got, std::string* why = nullptr);

  private:
    // The bytes as stored; the system's part, in linux/ and win32/.
    bool OpenStored(const std::string& nativePathOrDash, std::string* why);
    bool ReadStored(char* buffer, size_t capacity, size_t& got, std::string* why);
    void CloseStored();

    struct Unpacking;
    std::unique_ptr<Unpacking> unpacking_; // null until the first bytes tell
    intptr_t handle_ = -1;
    bool standardInput_ = false;
    bool started_ = false;
    std::string first_; // stored bytes read to tell gzip data, not yet given
};

} // namespace nrvs::platform
