// Reasons the system gives for a failure, worded for the user.
#pragma once

#include <string>

namespace nrvs::platform {

// The C library's text for an error number in Japanese, from its own
// translations in a Japanese locale taken for these texts alone (the
// program's locale is left as it is). Where that locale or its translations
// are missing: the English text with the error's name, "No such file or
// directory (ENOENT)", so that the reason can still be looked up.
std::string SystemReason(int err);
// The same with the translations of the named locale.
std::string SystemReasonIn(int err, const char* localeName);

} // namespace nrvs::platform
