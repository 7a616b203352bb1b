// The drive information rows and the version line, from hand-made records.
#include "core/drives/DriveInfo.h"

#include <gtest/gtest.h>

using namespace nrvs;

namespace {
std::string Value(const DriveRecord& r, int row) {
    return DriveInfoRows(r).at(static_cast<size_t>(row)).Value;
}
} // namespace

TEST(DriveInfoTest, SerialIsAlwaysEightUpperCaseDigits) {
    EXPECT_EQ(SerialText(0xABC), "00000ABC");
    EXPECT_EQ(SerialText(0), "00000000");
    EXPECT_EQ(SerialText(0xdeadbeef), "DEADBEEF");
    DriveRecord r;
    r.SerialNumber = 0xABC;
    EXPECT_EQ(Value(r, 2), "00000ABC");
}

TEST(DriveInfoTest, GeometryWithThousandsSeparatorsAndNoOverflow) {
    DriveRecord r;
    r.RootPath = "Q:\\";
    r.SectorsPerCluster = 8;
    r.BytesPerSector = 512;
    r.TotalClusters = 4294967295u;
    r.FreeClusters = 1000;
    auto rows = DriveInfoRows(r);
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows[0].Value, "Q");
    EXPECT_EQ(rows[4].Value, "8");
    EXPECT_EQ(rows[5].Value, "512");
    // Each caption reads as the figure's unit: sectors per cluster, bytes per sector.
    EXPECT_EQ(rows[4].Caption, "セクタ／クラスタ");
    EXPECT_EQ(rows[5].Caption, "バイト／セクタ");
    EXPECT_EQ(rows[6].Value, "4,096");
    EXPECT_EQ(rows[7].Value, "4,294,967,295");
    EXPECT_EQ(rows[8].Value, "1,000");
    // A product past 32 bits is shown whole, not wrapped to 0.
    r.SectorsPerCluster = 65536;
    r.BytesPerSector = 65536;
    EXPECT_EQ(Value(r, 6), "4,294,967,296");
}

TEST(DriveInfoTest, LabelAndEmptyRecord) {
    DriveRecord r;
    r.RootPath = "C:\\";
    r.FileSystem = "ext4";
    EXPECT_EQ(Value(r, 1), "");
    EXPECT_EQ(Value(r, 3), "ext4");
    r.VolumeName = "データ";
    EXPECT_EQ(Value(r, 1), "データ");
    // A record never read: no letter, zeros, every flag "no"; nothing throws.
    auto rows = DriveInfoRows(DriveRecord{});
    EXPECT_EQ(rows[0].Value, "");
    EXPECT_EQ(rows[6].Value, "0");
    for (int i = 9; i < 20; ++i)
        EXPECT_EQ(rows[static_cast<size_t>(i)].Value, "no") << i;
}

TEST(DriveInfoTest, EachFlagRowReadsItsOwnBit) {
    // Row and the bit it must show; every other flag row stays "no".
    const std::pair<int, uint32_t> table[] = {
        {10, 0x8000},  {11, 0x1},     {12, 0x4},  {13, 0x8},  {14, 0x10},
        {15, 0x20000}, {16, 0x10000}, {17, 0x80}, {18, 0x40}, {19, 0x20},
    };
    for (auto [row, bit] : table) {
        DriveRecord r;
        r.FileSystemFlags = bit;
        auto rows = DriveInfoRows(r);
        for (int i = 10; i < 20; ++i)
            EXPECT_EQ(rows[static_cast<size_t>(i)].Value, i == row ? "yes" : "no")
                << "bit " << bit << " row " << i;
    }
    DriveRecord r;
    r.FileSystemFlags = 0xFFFFFFFF & ~0x8000u;
    EXPECT_EQ(Value(r, 10), "no");
    EXPECT_EQ(Value(r, 19), "yes");
    // Bits no row stands for change nothing.
    r.FileSystemFlags = 0x2 | 0x100 | 0x40000;
    for (int i = 10; i < 20; ++i)
        EXPECT_EQ(Value(r, i), "no") << i;
}

TEST(DriveInfoTest, RemovableRowFollowsTheRecord) {
    DriveRecord r;
    EXPECT_EQ(Value(r, 9), "no");
    r.Removable = 1;
    EXPECT_EQ(Value(r, 9), "yes");
}

TEST(DriveInfoTest, VersionLineWithAndWithoutCommit) {
    EXPECT_EQ(VersionLine("0.1", ""), "Norvessa  Version 0.1");
    EXPECT_EQ(VersionLine("0.1", "abc123"), "Norvessa  Version 0.1 (abc123)");
}
