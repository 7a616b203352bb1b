// The parts of whole-file access that every system shares: each backend
// supplies the streamed replacement, these are written on it.
#include "platform/FileAccess.h"

namespace nrvs::platform {

bool ReplaceFile(const std::string& nativePath, std::string_view data) {
    return ReplaceFileStreamed(nativePath, [&](const PutBytes& put) { return put(data); });
}

bool ReplaceFileWithLines(const std::string& nativePath, const std::vector<std::string>& lines) {
    return ReplaceFileStreamed(nativePath, [&](const PutBytes& put) {
        std::string chunk;
        chunk.reserve(1 << 18);
        for (const auto& line : lines) {
            chunk += line;
            chunk += "\r\n";
            if (chunk.size() >= (1 << 18) - 4096) {
                if (!put(chunk)) return false;
                chunk.clear();
            }
        }
        return put(chunk);
    });
}

} // namespace nrvs::platform
