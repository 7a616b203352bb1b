#include "lib/BarColours.h"
#include "lib/Messages.h"
#include "lib/NumberText.h"
#include "lib/SettingsLines.h"
#include "lib/SizeText.h"
#include "lib/StringList.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

using namespace nrvs;
using nrvs::test::TempDir;

TEST(StringListTest, LineAccessFallsBackToDefaults) {
    StringList l{"800", "x", "", "12a", " 5", "-512", "+7", "2147483648"};
    EXPECT_EQ(IntAt(l, 0, 1000), 800);
    EXPECT_EQ(IntAt(l, 1, 600), 600);
    EXPECT_EQ(IntAt(l, 2, 9), 9) << "an empty entry does not convert";
    EXPECT_EQ(IntAt(l, 3, 9), 9) << "12a";
    EXPECT_EQ(IntAt(l, 4, 9), 9) << "leading blank";
    EXPECT_EQ(IntAt(l, 5, 9), -512);
    EXPECT_EQ(IntAt(l, 6, 9), 7);
    EXPECT_EQ(IntAt(l, 7, 9), 9) << "beyond 32 bits";
    EXPECT_EQ(IntAt(l, 99, 3), 3);
    EXPECT_EQ(IntAt(l, -1, 3), 3);
    EXPECT_EQ(LineAt(l, 2, "d"), "");
    EXPECT_EQ(LineAt(l, 8, "d"), "d");
    EXPECT_DOUBLE_EQ(FloatAt({"1.5E-5", "junk"}, 0, -1), 1.5e-5);
    EXPECT_DOUBLE_EQ(FloatAt({"1.5E-5", "junk"}, 1, -1), -1);

    StringList e;
    EXPECT_EQ(PutLineAt(e, 3, "t"), 1);
    EXPECT_EQ(e, (StringList{"", "", "", "t"}));
    PutIntAt(e, 1, -512);
    PutFloatAt(e, 0, 1e15);
    EXPECT_EQ(e, (StringList{"1E15", "-512", "", "t"}));
}

TEST(StringListTest, SplittingAndJoining) {
    EXPECT_EQ(SplitFirst("C:\\ > 1:2", " > "),
              (std::pair<std::string, std::string>{"C:\\", "1:2"}));
    EXPECT_EQ(SplitFirst("abc", " > "), (std::pair<std::string, std::string>{"abc", ""}));
    EXPECT_EQ(SplitNameValue("a=b=c"), (std::pair<std::string, std::string>{"a", "b=c"}));
    StringList l;
    SplitToLines(l, ":", "a:b:c");
    EXPECT_EQ(l, (StringList{"a", "b", "c"}));
    SplitToLines(l, ":", "a::b");
    EXPECT_EQ(l, (StringList{"a", "", "b"}));
    SplitToLines(l, ":", "a:");
    EXPECT_EQ(l, (StringList{"a"}));
    SplitToLines(l, ":", "");
    EXPECT_TRUE(l.empty());
    EXPECT_EQ(JoinLines({"a", "", "b"}, "\t"), "a\t\tb");
    EXPECT_EQ(JoinNameValue("k", "v"), "k=v");
    EXPECT_EQ(Concat3("a", "b", "c"), "abc");
}

TEST(StringListTest, FilesReadEveryLineEndAndWriteCrLfAtomically) {
    TempDir d;
    d.Write("mixed.txt", "a\r\nb\nc\rd\r\n\r\ne");
    StringList l;
    ASSERT_EQ(LoadLines(l, d / "mixed.txt"), 1);
    EXPECT_EQ(l, (StringList{"a", "b", "c", "d", "", "e"}));

    ASSERT_EQ(SaveLines(l, d / "out.txt"), 1);
    EXPECT_EQ(d.Read("out.txt"), "a\r\nb\r\nc\r\nd\r\n\r\ne\r\n");
    // Written bytes read back to the same list.
    StringList back;
    LoadLines(back, d / "out.txt");
    EXPECT_EQ(back, l);

    l = {"stale"};
    EXPECT_EQ(LoadLines(l, d / "missing.txt"), 0);
    EXPECT_TRUE(l.empty());
    EXPECT_EQ(LoadLines(l, d.Path()), 0) << "a folder is no text file";

    // Bytes that are not text survive a round trip unchanged.
    std::string junk;
    for (int i = 0; i < 256; ++i)
        if (i != '\r' && i != '\n') junk += static_cast<char>(i);
    SaveLines({junk}, d / "junk.txt");
    LoadLines(back, d / "junk.txt");
    EXPECT_EQ(back, StringList{junk});
}

TEST(StringListTest, FailedSaveKeepsTheOldFile) {
    TempDir d;
    d.MakeDir("ro");
    SaveLines({"old"}, d / "ro/f.txt");
    ::chmod(d.Path().c_str(), 0755);
    ::chmod((d / "ro").c_str(), 0555);
    const std::string file = d / "ro/f.txt";
    EXPECT_TRUE(test::AsUnprivileged([&] { return SaveLines({"new"}, file) == 0; }));
    EXPECT_EQ(d.Read("ro/f.txt"), "old\r\n");
}

TEST(StringListTest, SaveIntoMissingFolderFails) {
    TempDir d;
    EXPECT_EQ(SaveLines({"x"}, d / "no/such/f.txt"), 0);
    EXPECT_FALSE(d.Exists("no"));
}

TEST(NumberTextTest, FloatTextUsesFifteenDigitsAndShortExponents) {
    EXPECT_EQ(FloatText(1e15), "1E15");
    EXPECT_EQ(FloatText(1e15 - 1), "999999999999999");
    EXPECT_EQ(FloatText(1234567890123456.0), "1.23456789012346E15");
    EXPECT_EQ(FloatText(1.5e-5), "1.5E-5");
    EXPECT_EQ(FloatText(0.0001), "0.0001");
    EXPECT_EQ(FloatText(0), "0");
    EXPECT_EQ(FloatText(-1), "-1");
    EXPECT_EQ(FloatText(4096), "4096");
    EXPECT_EQ(FloatText(0.5), "0.5");
    EXPECT_EQ(FloatText(1e100), "1E100");
    EXPECT_EQ(FloatText(-2.5e20), "-2.5E20");

    // Whole numbers are written as the general form of fifteen digits
    // writes them, on either side of where it turns to an exponent.
    std::mt19937_64 rng(20261208);
    auto general = [](double v) {
        char buf[64];
        return std::string(
            buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr);
    };
    for (int i = 0; i < 20000; ++i) {
        const int digits = 1 + i % 16;
        double v = static_cast<double>(rng() % static_cast<uint64_t>(std::pow(10.0, digits)));
        if (i % 3 == 0) v = -v;
        if (i % 7 == 0) v = std::nextafter(v, 2e15); // not whole below 2^52
        const std::string expected = v == 0 ? "0" : general(v);
        if (expected.find('e') == std::string::npos) EXPECT_EQ(FloatText(v), expected) << i;
    }

    for (double v : {0.0, -1.0, 194.0, 1e15, 1e15 - 1, 1.5e-5, 123456789012.0, 1e300})
        EXPECT_EQ(TextToFloat(FloatText(v), -7), v) << FloatText(v);
    EXPECT_EQ(TextToFloat("", 5), 5);
    EXPECT_EQ(TextToFloat("1.2.3", 5), 5);
    EXPECT_EQ(TextToFloat("inf", 5), 5);
    EXPECT_EQ(TextToFloat("nan", 5), 5);
    EXPECT_EQ(TextToFloat("1e999", 5), 5);
    EXPECT_EQ(TextToFloat("12 ", 5), 5);
    EXPECT_EQ(TextToFloat("+3", 5), 3);

    EXPECT_EQ(IntegerPart(-2.9), -2);
    EXPECT_EQ(IntegerPart(2.9), 2);
    EXPECT_EQ(IntegerPart(1e20), 2147483647);
}

TEST(NumberTextTest, DigitsChoicesAndFormat) {
    EXPECT_EQ(DigitAt("101", 0), 1);
    EXPECT_EQ(DigitAt("101", 1), 0);
    EXPECT_EQ(DigitAt("101", 3), -1);
    EXPECT_EQ(DigitAt("101", -1), -1);
    EXPECT_EQ(DigitAt("x", 0), 'x' - '0');
    EXPECT_EQ(ChoiceIndex("010000"), 1);
    EXPECT_EQ(ChoiceIndex("000"), -1);
    EXPECT_EQ(ChoiceIndex(""), -1);
    EXPECT_EQ(YesNoText(5), "yes");
    EXPECT_EQ(YesNoText(0), "no");
    EXPECT_EQ(FormatText("%c:\\", 'C'), "C:\\");
    EXPECT_EQ(FormatText("%s", std::string(5000, 'a').c_str()).size(), 1023u);
}

TEST(SizeFormatTest, AutomaticAndFixedUnits) {
    struct Case {
        double bytes;
        int unit;
        const char* number;
        const char* unitText;
    } cases[] = {
        {0, 0, "0", "B"},
        {999, 0, "999", "B"},
        {1000, 0, "0.98", "KB"},
        {1023, 0, "1.00", "KB"},
        {1024, 0, "1.00", "KB"},
        {1536000, 0, "1.46", "MB"},
        {1023.0 * 1024, 0, "1.00", "MB"},
        {1000.0 * 1099511627776.0, 0, "1,000.00", "TB"},
        {5e18, 0, "4,547,473.51", "TB"},
        {1023, 1, "1,023", "B"},
        {1048576, 2, "1,024.00", "KB"},
        {1048576, 9, "0.00", "TB"},
        {-1, 0, "未計測", ""},
    };
    for (const auto& c : cases) {
        SizeText t = FormatSize(c.bytes, c.unit);
        EXPECT_EQ(t.Number, c.number) << c.bytes << " unit " << c.unit;
        EXPECT_EQ(t.Unit, c.unitText) << c.bytes << " unit " << c.unit;
    }
    EXPECT_EQ(FormatSizeText(-1, 0), "未計測 ");
    EXPECT_EQ(FormatSizeText(1024, 0), "1.00 KB");
    EXPECT_EQ(FormatSizeText(1234567, 1), "1,234,567 B");
    // Differences of measured sizes go below zero; only a missing figure is
    // 未計測.
    EXPECT_EQ(FormatSignedSizeText(-10475274, 0), "-9.99 MB");
    EXPECT_EQ(FormatSignedSizeText(-1, 1), "-1 B");
    EXPECT_EQ(FormatSignedSizeText(-1, 4), "0.00 GB") << "rounded to nothing: no minus";
    EXPECT_EQ(FormatSignedSizeText(2048, 0), "2.00 KB");
}

TEST(BarColourTest, BothFormsOfEachRowKind) {
    EXPECT_EQ(BarColour(7, 1), 0xFFCC00u);
    EXPECT_EQ(BarColour(7, 0), 0x00CCFFu);
    EXPECT_EQ(BarColour(9, 0), 0xFF9999u);
    EXPECT_EQ(BarColour(10, 0), 0x500000u);
    EXPECT_EQ(BarColour(20, 1), 0x4D5DBDu);
    EXPECT_EQ(BarColour(20, 0), 0xBD5D4Du);
    EXPECT_EQ(BarColour(44, 0), 0x0080FFu);
    EXPECT_EQ(BarColour(3, 0), 0u);
}

namespace {
struct ScriptedUi : MessageUi {
    std::string last;
    int lastStyle = 0;
    void ShowMessage(const std::string& text, int style) override {
        last = text, lastStyle = style;
    }
    int AskQuestion(const std::string& text, int style) override {
        last = text, lastStyle = style;
        return ID_YES;
    }
};
} // namespace

TEST(MessageBoxTest, QuestionsReachTheInstalledUiOrTheFallback) {
    EXPECT_EQ(AskYesNo("q", MB_ICONQUESTION), ID_NO) << "without windows nothing is confirmed";
    ScriptedUi ui;
    SetMessageUi(&ui);
    EXPECT_EQ(AskYesNo("q?", MB_ICONQUESTION | MB_DEFBUTTON2), ID_YES);
    EXPECT_EQ(ui.lastStyle, 288);
    ShowMessageBox("err", MB_ICONSTOP);
    EXPECT_EQ(ui.last, "err");
    SetMessageUi(nullptr);
}
