// The layout of an index file as the reader and the writer share it: see
// docs/file-index.md.
#pragma once

#include "platform/Paths.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace nrvs {

namespace P = platform;

// ---- layout ----

constexpr char kMagic[8] = {'N', 'R', 'V', 'S', 'I', 'D', 'X', 0};
constexpr uint32_t kVersion = 1;
constexpr size_t kHeaderSize = 256;
constexpr size_t kHeaderLineRoom = 120;
constexpr size_t kFolderEntry = 24;

enum HeaderField : size_t {
    HEADER_VERSION = 8,
    HEADER_LETTER = 12,
    HEADER_FILES = 16,
    HEADER_FOLDERS = 24,
    HEADER_POOL_BYTES = 32,
    HEADER_LENGTH = 40,
    HEADER_OFFSET_FOLDERS = 48,
    HEADER_OFFSET_SIZE = 56,
    HEADER_OFFSET_OCCUPIED = 64,
    HEADER_OFFSET_MODIFIED_TIME = 72,
    HEADER_OFFSET_NAME_OFFSET = 80,
    HEADER_OFFSET_NAME_LENGTH = 88,
    HEADER_OFFSET_FLAGS = 96,
    HEADER_OFFSET_POOL = 104,
    HEADER_LINKS_ONCE = 112,
    HEADER_LINE_LENGTH = 116,
    HEADER_LINE = 120,
};

template <typename T> T Load(const unsigned char* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <typename T> void Store(std::string& out, size_t at, T v) {
    std::memcpy(out.data() + at, &v, sizeof v);
}

constexpr uint64_t Align8(uint64_t n) {
    return (n + 7) & ~uint64_t{7};
}

struct Layout {
    uint64_t folders = 0, files = 0, pool = 0;
    uint64_t offFolders = 0, offSize = 0, offOccupied = 0, offMtime = 0, offNameOffset = 0,
             offNameLength = 0, offFlags = 0, offPool = 0, length = 0;
    void Compute() {
        offFolders = kHeaderSize;
        offSize = Align8(offFolders + folders * kFolderEntry);
        offOccupied = offSize + files * 8;
        offMtime = offOccupied + files * 8;
        offNameOffset = offMtime + files * 8;
        offNameLength = Align8(offNameOffset + files * 4);
        offFlags = offNameLength + files;
        offPool = Align8(offFlags + files);
        length = offPool + pool;
    }
};

inline std::string ShownOrSame(std::string_view native) {
    return P::ShownName(native);
}

} // namespace nrvs
