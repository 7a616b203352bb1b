#include "platform/Paths.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using namespace nrvs;
using namespace nrvs::platform;

TEST(PathFormTest, ProgramAndNativeFormsRoundTrip) {
    test::TempDrive drive;
    const std::string root = drive.Root();
    const std::string native = drive.Native();
    EXPECT_EQ(ToNative(root), native);
    EXPECT_EQ(ToNative(root + "a\\b\\"), native + "a/b/");
    EXPECT_EQ(ToNative(root + "x\xEF\xBC\xBCy"), native + "x\\y");
    std::string p;
    ASSERT_TRUE(ToProgram(native + "a/b", p));
    EXPECT_EQ(p, root + "a\\b");
    ASSERT_TRUE(ToProgram(native.substr(0, native.size() - 1), p));
    EXPECT_EQ(p, root) << "the drive's own root, not the path on C:";
    ASSERT_TRUE(ToProgram(native + "t\tab", p));
    EXPECT_EQ(p, root + "t\xE2\x90\x89"
                        "ab");

    EXPECT_FALSE(ToNative(root + "..\\etc\\", p)) << "no way above the drive's root";
    EXPECT_FALSE(ToNative(root + "a\\\\b", p));
    EXPECT_FALSE(ToNative(root + "../etc\\", p)) << "a slash inside a name";
    EXPECT_FALSE(ToNative("relative\\", p));
    EXPECT_FALSE(ToNative("1:\\", p));
    EXPECT_FALSE(ToProgram("relative/x", p));
    EXPECT_EQ(ShownName("\x01\x1f"), "\xE2\x90\x81\xE2\x90\x9F");
    EXPECT_EQ(NativeName("\xE2\x90\x80"), "\xE2\x90\x80") << "U+2400 is no control character";
}

TEST(CompareTextTest, CaseInsensitiveOrderIsAStrictWeakOrder) {
    EXPECT_EQ(CompareTextIgnoreCase("C:\\WINDOWS\\", "c:\\windows\\"), 0);
    EXPECT_LT(CompareTextIgnoreCase("C:\\a", "C:\\B"), 0);
    EXPECT_LT(CompareTextIgnoreCase("C:\\", "C:\\a"), 0);
    EXPECT_EQ(CompareTextIgnoreCase("\xC3\x84pfel", "\xC3\xA4PFEL"), 0) << "Ä and ä";
    EXPECT_EQ(CompareTextIgnoreCase("\xEF\xBC\xA1", "\xEF\xBD\x81"), 0) << "fullwidth A and a";
    EXPECT_LT(CompareTextIgnoreCase("z", "\xC3\xA4"), 0);
    EXPECT_LT(CompareTextIgnoreCase("\xE6\x97\xA5", "\xff"), 0)
        << "stray bytes after every character";
    EXPECT_NE(CompareTextIgnoreCase("\xff", "\xfe"), 0);

    // Random strings of ASCII, accented letters, CJK and stray bytes: the
    // order must be antisymmetric and transitive, or sorting breaks.
    const std::vector<std::string> atoms = {"a",    "A",        "b",        "\\",
                                            " > ",  "\xC3\xA4", "\xC3\x84", "\xE6\x97\xA5",
                                            "\xff", "\xC3",     "1",        ":"};
    std::mt19937 rng(7);
    std::vector<std::string> v;
    for (int i = 0; i < 300; ++i) {
        std::string s;
        int n = static_cast<int>(rng() % 6);
        for (int k = 0; k < n; ++k)
            s += atoms[rng() % atoms.size()];
        v.push_back(s);
    }
    for (const auto& a : v)
        for (const auto& b : v) {
            int ab = CompareTextIgnoreCase(a, b), ba = CompareTextIgnoreCase(b, a);
            ASSERT_EQ(ab<0, ba> 0) << a << " / " << b;
            ASSERT_EQ(ab == 0, ba == 0);
        }
    std::sort(v.begin(), v.end(), LessIgnoreCase);
    for (size_t i = 1; i < v.size(); ++i)
        ASSERT_LE(CompareTextIgnoreCase(v[i - 1], v[i]), 0);
}

TEST(CompareTextTest, UpperCasingForTheListOrder) {
    EXPECT_EQ(UpperText("abc"), "ABC");
    EXPECT_EQ(UpperText("\xC3\xA4pfel"), "\xC3\x84PFEL") << "ä to Ä";
    EXPECT_EQ(UpperText("\xE6\x97\xA5\xE6\x9C\xAC"), "\xE6\x97\xA5\xE6\x9C\xAC") << "kanji stay";
    EXPECT_EQ(UpperText("\xEF\xBD\x81"), "\xEF\xBC\xA1") << "fullwidth a to A";
    EXPECT_EQ(UpperText("x\xff\xC3"), "X\xff\xC3") << "stray bytes stay";
}

TEST(PathFormTest, NameTranslationIsOneToOneAndRoundTrips) {
    // Names built from the pieces that matter: backslashes, control bytes,
    // the characters that stand for them, the escape mark, broken UTF-8.
    const std::vector<std::string> atoms = {"a",
                                            "\\",
                                            "\x01",
                                            "\x0a",
                                            "\x1f",
                                            "\xEF\xBC\xBC",
                                            "\xE2\x90\x81",
                                            "\xE2\x90\x8A",
                                            "\xE2\x90\x9F",
                                            "\xE2\x90\x80",
                                            "\xE2\x90\xA0",
                                            "\xEE\x81\x9C",
                                            "\xEE\x81",
                                            "\xEF\xBC",
                                            "\xE2\x90",
                                            "\xff",
                                            "\x80",
                                            "\xE6\x97\xA5",
                                            " > ",
                                            "\t"};
    std::mt19937 rng(11);
    std::map<std::string, std::string> seen; // shown -> native
    for (int i = 0; i < 40000; ++i) {
        std::string name;
        int n = 1 + static_cast<int>(rng() % 6);
        for (int k = 0; k < n; ++k) {
            if (rng() % 4 == 0)
                name += static_cast<char>(1 + rng() % 255);
            else
                name += atoms[rng() % atoms.size()];
        }
        std::replace(name.begin(), name.end(), '/', 'x');
        const std::string shown = ShownName(name);
        ASSERT_EQ(NativeName(shown), name);
        ASSERT_EQ(shown.find_first_of(std::string(
                      "\\\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
                      "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f")),
                  std::string::npos);
        auto [it, fresh] = seen.emplace(shown, name);
        ASSERT_TRUE(fresh || it->second == name) << "two names show alike";
    }
    EXPECT_NE(ShownName("a\\b"), ShownName("a\xEF\xBC\xBC"
                                           "b"));
    EXPECT_NE(ShownName("\x0a"), ShownName("\xE2\x90\x8A"));
    EXPECT_EQ(ShownName("\xEE\x81\x9C"), "\xEE\x81\x9C\xEE\x81\x9C") << "the mark itself is marked";
}

TEST(PathFormTest, VisibleMarksTellTheTwoBackslashesApart) {
    const std::string byteBackslash = ShownName("x\\y");
    const std::string realFullWidth = ShownName("x\xEF\xBC\xBCy");
    ASSERT_NE(byteBackslash, realFullWidth);
    EXPECT_EQ(VisibleMarks(byteBackslash), "x\xEF\xBC\xBCy");
    EXPECT_EQ(VisibleMarks(realFullWidth), "x<U+E05C>\xEF\xBC\xBCy");
    EXPECT_EQ(VisibleMarks(ShownName("\xEE\x81\x9C")), "<U+E05C><U+E05C>")
        << "a real mark is marked too";
    EXPECT_EQ(VisibleMarks("ab\xEE\x81"), "ab\xEE\x81")
        << "a cut-off character at the end stays as it is";
}
