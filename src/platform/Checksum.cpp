#include "platform/Checksum.h"

#include <climits>
#include <zlib.h>

namespace nrvs::platform {

uint32_t Crc32(std::string_view bytes, uint32_t crc) {
    uLong c = crc;
    // zlib takes lengths as uInt: long runs in pieces.
    while (!bytes.empty()) {
        const size_t n = bytes.size() < UINT_MAX ? bytes.size() : UINT_MAX;
        c = ::crc32(c, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(n));
        bytes.remove_prefix(n);
    }
    return static_cast<uint32_t>(c);
}

} // namespace nrvs::platform
