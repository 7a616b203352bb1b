#include "platform/ErrorText.h"

#include <cstring>

namespace nrvs::platform {

// The reasons callers hold are errno values, as the C runtime sets them.
// Its texts are English only; the number stays for the Japanese reader.
std::string SystemReason(int err) {
    return std::string(std::strerror(err)) + " (" + std::to_string(err) + ")";
}

std::string SystemReasonIn(int err, const char*) {
    return SystemReason(err);
}

} // namespace nrvs::platform
