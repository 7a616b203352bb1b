#include "platform/FileAccess.h"

namespace nrvs::platform {

// The window saves over a cache it has open, and Windows refuses to replace
// a file while a view of it is mapped: caches are read into memory here.
bool MapFileGuarded(const std::string&, const void*& data, size_t& length) {
    data = nullptr;
    length = 0;
    return false;
}

// Windows refuses to cut a file short while a view of it is mapped: no page
// is ever lost.
bool MapFileReadOnlyGuarded(const std::string& nativePath, const void*& data, size_t& length,
                            std::string* identity) {
    return MapFileReadOnly(nativePath, data, length, identity);
}

// Only MapFileReadOnlyGuarded maps here.
void UnmapFileGuarded(const void* data, size_t length) {
    UnmapFile(data, length);
}

bool MappingLostPages(const void*) {
    return false;
}

} // namespace nrvs::platform
