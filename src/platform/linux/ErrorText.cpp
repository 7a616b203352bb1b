#include "platform/ErrorText.h"

#include <cstring>
#include <locale.h>

namespace nrvs::platform {

namespace {
locale_t MessagesOf(const char* name) {
    return ::newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
}

locale_t CLocale() {
    static const locale_t loc = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

std::string ReasonIn(int err, locale_t loc) {
    const std::string english = CLocale() ? ::strerror_l(err, CLocale()) : std::string("error");
    if (loc) {
        const std::string text = ::strerror_l(err, loc);
        // The same words as in English: no translation was found.
        if (!text.empty() && text != english) return text;
    }
    const char* name = ::strerrorname_np(err);
    return english + " (" + (name ? std::string(name) : std::to_string(err)) + ")";
}
} // namespace

std::string SystemReason(int err) {
    // Made once and kept: a locale object costs the reading of its files.
    static const locale_t japanese = [] {
        locale_t l = MessagesOf("ja_JP.UTF-8");
        return l ? l : MessagesOf("ja_JP.utf8");
    }();
    return ReasonIn(err, japanese);
}

std::string SystemReasonIn(int err, const char* localeName) {
    const locale_t loc = MessagesOf(localeName);
    std::string text = ReasonIn(err, loc);
    if (loc) ::freelocale(loc);
    return text;
}

} // namespace nrvs::platform
