// The system's reasons for a failure as the user reads them.
#include "platform/Preason.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>

using namespace nrvs::platform;

TEST(SystemReason, JapaneseFromTheCLibraryWhateverTheProgramsLocale) {
    const locale_t ja = ::newlocale(LC_MESSAGES_MASK, "ja_JP.UTF-8", static_cast<locale_t>(nullptr));
    if (!ja) GTEST_SKIP() << "no ja_JP.UTF-8 locale (tools/setup.sh makes it)";
    ::freelocale(ja);
    // The program itself runs in the C locale: the reason is Japanese all the same.
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(SystemReason(ENOENT), "そのようなファイルやディレクトリはありません");
    EXPECT_EQ(SystemReason(EACCES), "許可がありません");
    // The program's own messages stay in its locale.
    EXPECT_STREQ(std::strerror(ENOENT), "No such file or directory");
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(SystemReason, EnglishWithTheErrorsNameWithoutTranslations) {
    EXPECT_EQ(SystemReasonIn(ENOENT, "xx_NONE.UTF-8"), "No such file or directory (ENOENT)");
    // A locale without translations of the C library's texts.
    EXPECT_EQ(SystemReasonIn(EROFS, "C.UTF-8"), "Read-only file system (EROFS)");
    // A number no error has still gives words to show.
    EXPECT_FALSE(SystemReasonIn(99999, "C").empty());
}
