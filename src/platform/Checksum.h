// The CRC-32 of gzip and PNG (zlib's), for framing records of the program's
// own files so that a cut or damaged one is found.
#pragma once

#include <cstdint>
#include <string_view>

namespace nrvs::platform {

// The CRC-32 of bytes, continued from crc (0 to start).
uint32_t Crc32(std::string_view bytes, uint32_t crc = 0);

} // namespace nrvs::platform
