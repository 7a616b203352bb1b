// What the user reads of the system: the reasons for a failure, and names
// that are not UTF-8.
#include "platform/Paths.h"
#include "platform/ErrorText.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <locale.h>

using namespace nrvs::platform;

TEST(SystemReason, JapaneseFromTheCLibraryWhateverTheProgramsLocale) {
    const locale_t ja =
        ::newlocale(LC_MESSAGES_MASK, "ja_JP.UTF-8", static_cast<locale_t>(nullptr));
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

// Names that are not UTF-8, as every window shows them.
TEST(DisplayText, Utf8AsItIsShiftJisReadAndStrayBytesAsHex) {
    EXPECT_EQ(DisplayText("C:\\ソース\\a＼b\\"), "C:\\ソース\\a＼b\\");
    // A name from an older Japanese system, in Shift-JIS.
    EXPECT_EQ(DisplayText("C:\\\x83\x65\x83\x58\x83\x67\\"), "C:\\テスト\\");
    // Bytes no code page reads: each shown, the UTF-8 around them kept.
    EXPECT_EQ(DisplayText("X:\\bad\xFF\xFE名前\\ok\\"), "X:\\bad%FF%FE名前\\ok\\");
    // An overlong UTF-8 slash is no slash: read as Shift-JIS half-width kana.
    EXPECT_EQ(DisplayText("\xC0\xAF"), "ﾀｯ");
    EXPECT_EQ(DisplayText(""), "");
    EXPECT_EQ(DisplayText(std::string("\x80", 1)), "%80");
}
