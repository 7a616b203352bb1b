#include "platform/FileAccess.h"

namespace nrvs::platform {

// The window saves over a cache it has open, and Windows refuses to replace
// a file while a view of it is mapped: caches are read into memory here.
bool MapFileGuarded(const std::string&, const void*& data, size_t& length) {
    data = nullptr;
    length = 0;
    return false;
}

void UnmapFileGuarded(const void*, size_t) {}

} // namespace nrvs::platform
