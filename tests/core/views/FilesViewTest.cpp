#include "core/views/FilesView.h"
#include "support/TempDir.h"
#include "core/index/FileQueries.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace nrvs;
using nrvs::test::TempDir;

namespace {
int64_t LocalTime(int y, int m, int d, int hh = 0, int mm = 0) {
    std::tm tm{};
    tm.tm_year = y - 1900;
    tm.tm_mon = m - 1;
    tm.tm_mday = d;
    tm.tm_hour = hh;
    tm.tm_min = mm;
    tm.tm_isdst = -1;
    return static_cast<int64_t>(std::mktime(&tm));
}

FileQuery Applied(const FilesFilter& f, bool expectOk = true) {
    FileQuery q;
    std::string why;
    EXPECT_EQ(ApplyFilesFilter(f, q, &why), expectOk) << why;
    return q;
}
} // namespace

TEST(FilesView, FilterBoxesMakeTheQuery) {
    FilesFilter f;
    FileQuery q = Applied(f);
    EXPECT_TRUE(q.Extensions.empty());
    EXPECT_EQ(q.MinSize, -1);
    EXPECT_EQ(q.ModifiedBefore, INT64_MAX);
    EXPECT_EQ(q.ModifiedAfter, INT64_MIN);

    f.Extensions = " JPG, .png ";
    f.MinSize = "1.5";
    f.UnitIndex = 2; // MB
    q = Applied(f);
    EXPECT_EQ(q.Extensions, (std::vector<std::string>{"jpg", "png"}));
    EXPECT_EQ(q.MinSize, 1572864);
    f.UnitIndex = 0;
    f.MinSize = " 0 ";
    EXPECT_EQ(Applied(f).MinSize, 0);
    f.UnitIndex = 3;
    f.MinSize = "1e30";
    EXPECT_EQ(Applied(f).MinSize, INT64_MAX);

    // Dates: the day before is excluded from "以降", included in "より前"
    // up to its last second.
    f = FilesFilter{};
    f.DateMode = DATE_BEFORE;
    f.DateText = "2024/02/29";
    q = Applied(f);
    EXPECT_EQ(q.ModifiedBefore, LocalTime(2024, 2, 29));
    f.DateMode = DATE_AFTER;
    f.DateText = "2024-03-01";
    q = Applied(f);
    EXPECT_EQ(q.ModifiedAfter, LocalTime(2024, 3, 1) - 1);
    EXPECT_EQ(q.ModifiedBefore, INT64_MAX);
    f.DateMode = DATE_OLDER_DAYS;
    f.DateText = "30";
    f.Now = 1'800'000'000;
    EXPECT_EQ(Applied(f).ModifiedBefore, 1'800'000'000 - 30 * 86400);
    // The date box is ignored while no date is asked for.
    f.DateMode = DATE_ANY;
    f.DateText = "garbage";
    EXPECT_EQ(Applied(f).ModifiedBefore, INT64_MAX);
}

TEST(FilesView, WhatIsNoFilterLeavesTheQueryAlone) {
    const std::vector<std::pair<FilesFilter, std::string>> bad = {
        {{"jpg,,png", "", 0, DATE_ANY, "", 0}, "拡張子"},
        {{"", "-1", 0, DATE_ANY, "", 0}, "最小サイズ"},
        {{"", "12KB", 0, DATE_ANY, "", 0}, "最小サイズ"},
        {{"", "nan", 0, DATE_ANY, "", 0}, "最小サイズ"},
        {{"", "", 0, DATE_OLDER_DAYS, "", 0}, "日数"},
        {{"", "", 0, DATE_OLDER_DAYS, "-3", 0}, "日数"},
        {{"", "", 0, DATE_BEFORE, "2026/02/31", 0}, "日付"},
        {{"", "", 0, DATE_AFTER, "2026/13/01", 0}, "日付"},
        {{"", "", 0, DATE_AFTER, "2026/1/1x", 0}, "日付"},
        {{"", "", 0, DATE_BEFORE, "2026/01-01", 0}, "日付"},
    };
    for (const auto& [filter, word] : bad) {
        FileQuery q;
        q.MinSize = 77;
        std::string why;
        EXPECT_FALSE(ApplyFilesFilter(filter, q, &why)) << filter.MinSize << filter.DateText;
        EXPECT_NE(why.find(word), std::string::npos) << why;
        EXPECT_EQ(q.MinSize, 77);
    }
}

TEST(FilesView, SettingsRoundTripAndDamagedLinesTakeDefaults) {
    TempDir dir;
    const std::string file = dir.Path() + "norvessa.big";
    FilesSettings s;
    s.Left = 10;
    s.Top = 20;
    s.Width = 700;
    s.Height = 300;
    s.ColumnWidths = {1, 2, 3, 4, 5, 0};
    s.KeyIndex = 2;
    s.CountIndex = 1;
    s.WholeDrive = true;
    s.OnPath = true;
    s.Extensions = "jpg,\npng"; // a line break typed into the box
    s.MinSize = "3";
    s.UnitIndex = 0;
    s.DateMode = DATE_BEFORE;
    s.DateText = "2020/01/01";
    ASSERT_EQ(SaveFilesSettings(s, file), 1);
    const FilesSettings r = LoadFilesSettings(file);
    EXPECT_EQ(r.Left, 10);
    EXPECT_EQ(r.Height, 300);
    EXPECT_EQ(r.ColumnWidths, s.ColumnWidths);
    EXPECT_EQ(r.KeyIndex, 2);
    EXPECT_EQ(r.CountIndex, 1);
    EXPECT_TRUE(r.WholeDrive);
    EXPECT_TRUE(r.OnPath);
    EXPECT_EQ(r.Extensions, "jpg, png");
    EXPECT_EQ(r.MinSize, "3");
    EXPECT_EQ(r.UnitIndex, 0);
    EXPECT_EQ(r.DateMode, DATE_BEFORE);
    EXPECT_EQ(r.DateText, "2020/01/01");

    dir.Write("norvessa.big", "999999\r\n5\r\n50\r\n50\r\n1,2,x,4,5,6\r\n3\r\n-1\r\n2\r\n\r\n");
    const FilesSettings d = LoadFilesSettings(file);
    const FilesSettings def;
    EXPECT_EQ(d.Left, def.Left);
    EXPECT_EQ(d.Width, def.Width);
    EXPECT_EQ(d.ColumnWidths, def.ColumnWidths);
    EXPECT_EQ(d.KeyIndex, def.KeyIndex);
    EXPECT_EQ(d.CountIndex, def.CountIndex);
    EXPECT_FALSE(d.WholeDrive);
    EXPECT_EQ(LoadFilesSettings(dir.Path() + "missing.big").Width, def.Width);
}

TEST(FilesView, RowAndQuestionTexts) {
    EXPECT_EQ(FileTimeText(LocalTime(2026, 12, 7, 9, 5)), "2026/12/07 09:05");
    EXPECT_EQ(HitName("C:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(HitFolder("C:\\a\\b.txt"), "C:\\a\\");
    EXPECT_EQ(HitName("C:\\a\\sub\\"), "sub");
    EXPECT_EQ(HitFolder("C:\\a\\sub\\"), "C:\\a\\");
    EXPECT_EQ(HitFolder("C:\\top.bin"), "C:\\");
    EXPECT_EQ(FilesTopCount(2), 10000u);
    EXPECT_EQ(FilesTopCount(9), 100u);

    FileHit a, b, c;
    a.Path = "C:\\a.bin";
    a.Size = 1024;
    b.Path = "C:\\b.bin";
    b.Size = 2048;
    c.Path = "C:\\dir\\";
    c.IsFolder = true;
    c.Size = 1024;
    EXPECT_EQ(FilesConfirmText("削除", {a}, "", true), "削除：C:\\a.bin　\n\n実行しますか？");
    const std::string two = FilesConfirmText("削除", {a, b}, "", false);
    EXPECT_EQ(two.rfind("削除：2 個のファイル (3.00 KB)　\n", 0), 0u) << two;
    EXPECT_NE(two.find("C:\\b.bin\n"), std::string::npos);
    EXPECT_NE(two.find("ごみ箱を使用しない設定"), std::string::npos);
    const std::string moved = FilesConfirmText("移動", {a, c}, "D:\\to\\", false);
    EXPECT_EQ(moved.rfind("移動元：2 個の項目 (2.00 KB)　\n移動先：D:\\to\\　\n", 0), 0u) << moved;
    EXPECT_EQ(moved.find("ごみ箱"), std::string::npos);

    std::vector<FileHit> many(12, a);
    EXPECT_NE(FilesConfirmText("コピー", many, "D:\\", true).find("ほか 2 個"), std::string::npos);
    const std::string gone = VanishedText({"C:\\x.bin"});
    EXPECT_NE(gone.find("見つかりません"), std::string::npos);
    EXPECT_NE(gone.find("C:\\x.bin"), std::string::npos);
}
