// The Windows backend of the platform layer, built with mingw-w64 and run
// under Wine here. Wine makes some volume data up (every drive NTFS, an
// empty label, a file's length as its compressed size): those are tested for
// their shape, not their values.
#include "core/cache/Cache.h"
#include "core/measure/Measure.h"
#include "lib/DirectoryListing.h"
#include "lib/Messages.h"
#include "platform/Drives.h"
#include "platform/FolderEntries.h"
#include "platform/ProgramLocation.h"
#include "platform/FileAccess.h"
#include "platform/Paths.h"
#include "platform/OpenWithEntry.h"
#include "platform/FileOperations.h"
#include "support/TempDrive.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

// Last: its macros stand for the contract's constants of the same names.
#include "platform/win32/WideApi.h"

using namespace nrvs;
using nrvs::test::TempDir;
using nrvs::test::TempDrive;
namespace P = nrvs::platform;

namespace {

std::map<std::string, P::FindData> Listed(const std::string& native,
                                          std::map<std::string, std::string>* names = nullptr) {
    std::map<std::string, P::FindData> out;
    P::Folder f = P::Folder::Open(native);
    P::FolderReader reader(f, true);
    P::FindData d;
    while (reader.Next(d)) {
        out[std::string(d.Name)] = d;
        if (names) (*names)[std::string(d.Name)] = std::string(d.Name);
    }
    return out;
}

struct YesHooks : MeasureHooks {
    int Ask(const std::string&, int) override { return ID_YES; }
    void Tell(const std::string&, int) override {}
};

// Copies and deletes as the window drives them: every question answered,
// progress counted.
struct CountingUi : P::FileOperationObserver {
    int progress = 0;
    uint64_t items = 0;
    P::FileOperationObserver::Answer answer = REPLACE_YES;
    int replaceQuestions = 0;
    bool ConfirmDelete(const std::string&, bool) override { return true; }
    Answer ConfirmReplace(const std::string&) override {
        ++replaceQuestions;
        return answer;
    }
    void Begin(bool, uint64_t n, uint64_t) override { items = n; }
    bool Progress(const std::string&, uint64_t, uint64_t) override { return ++progress > 0; }
};

P::ItemPath Item(const std::string& programPath) {
    P::ItemPath item;
    EXPECT_TRUE(P::CheckProgramPath(programPath, item)) << programPath;
    return item;
}

} // namespace

TEST(Win32TextTest, NamesSurviveTheWideApiWhateverTheyHold) {
    // An unpaired surrogate is a valid NTFS name and must come back intact.
    const std::wstring lone = std::wstring(L"a") + wchar_t(0xD800) + L"b";
    const std::string wtf8 = P::win::Narrow(lone);
    EXPECT_EQ(wtf8, "a\xED\xA0\x80"
                    "b");
    EXPECT_EQ(P::win::Wide(wtf8), lone);
    const std::wstring pair = L"\xD83D\xDE42 \x65E5\x672C"; // 🙂 日本
    EXPECT_EQ(P::win::Narrow(pair), "\xF0\x9F\x99\x82 \xE6\x97\xA5\xE6\x9C\xAC");
    EXPECT_EQ(P::win::Wide(P::win::Narrow(pair)), pair);
    EXPECT_EQ(P::win::Wide("x\xFFy"), L"x\xFFFDy") << "a stray byte is no character";

    EXPECT_EQ(P::win::LongPath("C:/a//b/"), L"\\\\?\\C:\\a\\b");
    EXPECT_EQ(P::win::LongPath("C:/"), L"\\\\?\\C:\\");
    EXPECT_EQ(P::win::LongPath("//server/share/x"), L"\\\\?\\UNC\\server\\share\\x");
    EXPECT_EQ(P::win::FromSystem(L"\\\\?\\C:\\a\\b"), "C:/a/b");
}

TEST(Win32EnumTest, EntriesLongPathsAndOddNames) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.Write("f.txt", "hello");
    d.MakeDir("sub");
    d.Write("sub/inner", std::string(5000, 'x'));
    d.Write("\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x99\x82.txt", "abc"); // 日本 🙂.txt
    // A name the wide API allows and UTF-8 cannot spell: an unpaired
    // surrogate. Wine cannot make one on a Unix file system.
    const std::wstring odd = P::win::LongPath(d.Path()) + L"\\odd" + wchar_t(0xDC01);
    HANDLE h = ::CreateFileW(odd.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    const bool haveOdd = h != INVALID_HANDLE_VALUE;
    if (haveOdd) ::CloseHandle(h);

    auto entries = Listed(d.Path());
    ASSERT_EQ(entries.size(), haveOdd ? 4u : 3u);
    EXPECT_EQ(entries["f.txt"].Size, 5u);
    EXPECT_FALSE(entries["f.txt"].Attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(entries["sub"].Attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(entries["sub"].Size, 0u);
    EXPECT_GT(entries["f.txt"].ModifiedTime, 1600000000);
    const std::string wide = "\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x99\x82.txt";
    ASSERT_EQ(entries.count(wide), 1u);
    EXPECT_EQ(entries[wide].Size, 3u);
    P::Folder top = P::Folder::Open(d.Path());
    for (const std::string& name : {wide, std::string("odd\xED\xB0\x81")}) {
        if (name[0] == 'o' && !haveOdd) continue;
        // Its name leads back to it, also through the program's form.
        P::FindData again;
        ASSERT_TRUE(P::StatEntry(top, name, again, 0)) << name;
        std::string program;
        ASSERT_TRUE(P::ToProgram(d.Path() + name, program));
        EXPECT_EQ(P::ToNative(program), d.Path() + name);
    }

    // Deeper than MAX_PATH: folders and files are still made, read and listed.
    std::string deep = d.Path() + "deep";
    for (int i = 0; i < 30; ++i)
        deep += "/" + std::string(20, static_cast<char>('a' + i % 26));
    ASSERT_GT(deep.size(), 600u);
    ASSERT_TRUE(P::MakeFolders(deep, 0755));
    ASSERT_TRUE(P::ReplaceFile(deep + "/last.bin", std::string(7, 'z')));
    std::string back;
    ASSERT_TRUE(P::ReadWholeFile(deep + "/last.bin", back));
    EXPECT_EQ(back, "zzzzzzz");
    EXPECT_EQ(Listed(deep).at("last.bin").Size, 7u);
    uint64_t allocated = 0;
    EXPECT_TRUE(P::GetCompressedFileSizeA(deep + "/last.bin", allocated));
    EXPECT_NE(P::GetFileAttributesA(deep), INVALID_FILE_ATTRIBUTES);

    // Folders: identity, parent and the refusal of what is no folder.
    P::Folder sub = top.OpenChild("sub");
    ASSERT_TRUE(sub.Valid());
    P::FolderStat topStat, viaParent, child;
    ASSERT_TRUE(top.Stat(topStat));
    ASSERT_TRUE(sub.OpenParent().Stat(viaParent));
    EXPECT_EQ(viaParent.Id, topStat.Id);
    ASSERT_TRUE(top.StatChild("sub", child));
    EXPECT_FALSE(P::IsOtherMount(child, topStat.MountId));
    EXPECT_FALSE(top.OpenChild("f.txt").Valid());
    EXPECT_FALSE(top.OpenChild("..").Valid());
    EXPECT_FALSE(top.OpenChild("a/b").Valid());
    EXPECT_FALSE(P::Folder::Open(d.Path() + "missing").Valid());
}

TEST(Win32MeasureTest, LinesOfATreeAndItsCache) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    d.MakeDir("empty");
    d.Write("files/one", "x");
    d.Write("files/full", std::string(4096, 'f'));
    d.Write("files/over", std::string(4097, 'o'));
    d.Write("A/a.txt", "a");
    d.Write("A/B/b1", "bb");
    d.MakeDir("hid");
    // Wine keeps these bits where the file system can hold them: the lines
    // must carry what the system reports.
    ::SetFileAttributesW(P::win::LongPath(d / "hid").c_str(), FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(P::win::LongPath(d / "A/B").c_str(), FILE_ATTRIBUTE_READONLY);
    const bool hidden =
        ::GetFileAttributesW(P::win::LongPath(d / "hid").c_str()) & FILE_ATTRIBUTE_HIDDEN;
    const bool readOnly =
        ::GetFileAttributesW(P::win::LongPath(d / "A/B").c_str()) & FILE_ATTRIBUTE_READONLY;

    FolderList l;
    YesHooks hooks;
    const FolderRecord root = MeasureTree(l, drive.Root(), 4096, 0, hooks);
    ::SetFileAttributesW(P::win::LongPath(d / "A/B").c_str(), FILE_ATTRIBUTE_NORMAL);
    std::map<std::string, FolderRecord> m;
    for (int i = 0; i < l.Count(); ++i) {
        FolderRecord r = ParseRecord(l.LineAt(i));
        m[r.Path] = r;
    }
    const std::string R = drive.Root();
    ASSERT_EQ(l.Count(), 6);
    EXPECT_EQ(m[R + "empty\\"].Line, R + "empty\\ > 0:0:0:0:0:0:0:0:0:0:0:0");
    EXPECT_EQ(m[R + "files\\"].Line, R + "files\\ > 8194:16384:8194:16384:3:3:0:0:0:0:0:0");
    EXPECT_EQ(m[R + "A\\"].TreeFiles, 2);
    EXPECT_EQ(m[R + "A\\B\\"].ReadOnly, readOnly ? 1 : 0);
    EXPECT_EQ(m[R + "hid\\"].Hidden, hidden ? 1 : 0);
    EXPECT_EQ(root.TreeFiles, 5);
    EXPECT_EQ(root.TreeFolders, 5);
    EXPECT_EQ(root.TreeBytes, 8194 + 1 + 2);
    EXPECT_EQ(root.TreeOccupied, 16384 + 2 * 4096);
}

TEST(Win32DrivesTest, VolumeDataHasItsShape) {
    TempDrive drive;
    const std::string root = drive.Root();
    // A folder given its own letter, like subst, has the volume data of the
    // volume that holds it.
    EXPECT_GE(P::GetDriveTypeA(root), uint32_t{DRIVE_REMOVABLE});
    EXPECT_LE(P::GetDriveTypeA(root), uint32_t{DRIVE_RAMDISK});
    P::VolumeInformation info;
    ASSERT_EQ(P::GetVolumeInformationA(root, info), 1);
    EXPECT_FALSE(info.FileSystemName.empty());
    EXPECT_GT(info.MaxComponentLength, 0u);
    P::DiskFreeSpace space;
    ASSERT_EQ(P::GetDiskFreeSpaceA(root, space), 1);
    EXPECT_GE(space.SectorsPerCluster, 1u);
    EXPECT_GE(space.BytesPerSector, 512u);
    EXPECT_LE(space.FreeClusters, space.TotalClusters);
    uint64_t total = 0, free = 0;
    ASSERT_EQ(P::GetDiskFreeSpaceExA(root, total, free), 1);
    EXPECT_GT(total, 0u);
    EXPECT_LE(free, total);
    // The system's own letters are drives; C: always is.
    EXPECT_EQ(P::DriveRoots()[2], "C:/");
    EXPECT_EQ(P::GetVolumeInformationA("C:\\", info), 1);

    // A letter whose folder is gone is not in use, and keeps its root.
    const std::string moved = drive.Native().substr(0, drive.Native().size() - 1) + ".away";
    ASSERT_TRUE(
        ::MoveFileW(P::win::LongPath(drive.Native()).c_str(), P::win::LongPath(moved).c_str()));
    EXPECT_EQ(P::GetDriveTypeA(root), uint32_t{DRIVE_NO_ROOT_DIR});
    EXPECT_EQ(P::GetVolumeInformationA(root, info), 0);
    ASSERT_TRUE(
        ::MoveFileW(P::win::LongPath(moved).c_str(), P::win::LongPath(drive.Native()).c_str()));
    EXPECT_EQ(P::DriveRoots()[static_cast<size_t>(drive.Letter() - 'A')] + "/", drive.Native());
}

TEST(Win32ShellTest, CopiesDeletesAndTheRecycleBin) {
    TempDrive drive;
    const TempDir& d = drive.Dir();
    const std::string R = drive.Root();
    d.Write("src/a.txt", "aaa");
    d.Write("src/deep/b.bin", std::string(100000, 'b'));
    d.MakeDir("dst");
    CountingUi ui;
    auto firstError = [](const P::FileOperationResult& r) {
        return r.failures.empty() ? std::string()
                                  : r.failures[0].path + ": " + r.failures[0].reason;
    };
    P::FileOperationResult copy = P::CopyIntoFolder(Item(R + "src\\"), Item(R + "dst\\"), &ui);
    ASSERT_TRUE(copy.ok) << firstError(copy);
    EXPECT_EQ(d.Read("dst/src/a.txt"), "aaa");
    EXPECT_EQ(d.Read("dst/src/deep/b.bin").size(), 100000u);
    EXPECT_EQ(ui.items, 4u) << "two folders and two files";
    EXPECT_GT(ui.progress, 0);
    EXPECT_TRUE(copy.madeSomething);

    // Again: each file is asked about; "no" leaves it as it is.
    d.Write("src/a.txt", "new");
    ui.answer = P::FileOperationObserver::REPLACE_NO;
    copy = P::CopyIntoFolder(Item(R + "src\\"), Item(R + "dst\\"), &ui);
    ASSERT_TRUE(copy.ok);
    EXPECT_EQ(ui.replaceQuestions, 2);
    EXPECT_EQ(copy.skipped, 2u);
    EXPECT_EQ(d.Read("dst/src/a.txt"), "aaa");

    // Never into itself or onto itself.
    EXPECT_FALSE(P::CopyIntoFolder(Item(R + "src\\"), Item(R + "src\\deep\\"), nullptr).ok);
    EXPECT_FALSE(P::CopyIntoFolder(Item(R + "src\\"), Item(R), nullptr).ok);
    EXPECT_TRUE(d.Exists("src/a.txt"));

    // Into the recycle bin (the trash of the temporary home under Wine),
    // and for good; a drive's root never.
    const P::FileOperationResult trashed = P::DeleteItem(Item(R + "dst\\src\\a.txt"), true, &ui);
    ASSERT_TRUE(trashed.ok) << firstError(trashed);
    EXPECT_FALSE(d.Exists("dst/src/a.txt"));
    ::SetFileAttributesW(P::win::LongPath(d / "src/deep/b.bin").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(P::DeleteItem(Item(R + "src\\"), false, nullptr).ok);
    EXPECT_FALSE(d.Exists("src"));
    const P::FileOperationResult root = P::DeleteItem(Item(R), false, nullptr);
    EXPECT_FALSE(root.ok);
    EXPECT_FALSE(root.failures.empty());
}

TEST(Win32FileTest, OwnFilesAreReplacedWholeAndLocked) {
    TempDir d;
    const std::string f = d / "settings.prm";
    ASSERT_TRUE(P::ReplaceFileWithLines(f, {"one", "two"}));
    EXPECT_EQ(d.Read("settings.prm"), "one\r\ntwo\r\n");
    ASSERT_TRUE(P::ReplaceFile(f, "three"));
    EXPECT_EQ(d.Read("settings.prm"), "three");
    d.MakeDir("folder.prm");
    EXPECT_FALSE(P::ReplaceFile(d / "folder.prm", "x")) << "a folder is never replaced by a file";
    EXPECT_FALSE(P::LastWriteError().empty());
    // No temporary file is left behind.
    std::set<std::string> names;
    for (const auto& [name, data] : Listed(d.Path()))
        names.insert(name);
    EXPECT_EQ(names, (std::set<std::string>{"folder.prm", "settings.prm"}));

    const void* data = nullptr;
    size_t length = 0;
    std::string identity;
    ASSERT_TRUE(P::MapFileReadOnly(f, data, length, &identity));
    EXPECT_EQ(std::string(static_cast<const char*>(data), length), "three");
    P::UnmapFile(data, length);
    EXPECT_TRUE(P::WriteAt(f, 1, "HR", identity));
    EXPECT_EQ(d.Read("settings.prm"), "tHRee");
    EXPECT_FALSE(P::WriteAt(f, 4, "xx", identity)) << "never past the end";
    EXPECT_FALSE(P::WriteAt(f, 0, "x", "0:0")) << "another file";
    {
        P::FileLock lock(d / "lock");
        EXPECT_TRUE(lock.Held());
    }
    P::FileLock again(d / "lock");
    EXPECT_TRUE(again.Held()) << "closing let go of the lock";

    std::string start;
    ASSERT_TRUE(P::ReadFileStart(f, 3, start));
    EXPECT_EQ(start, "tHR");
    EXPECT_FALSE(P::ReadWholeFile(d / "folder.prm", start));
    EXPECT_TRUE(P::RemoveOwnFile(f));
    EXPECT_TRUE(P::RemoveOwnFile(f)) << "a missing file is no error";
    EXPECT_FALSE(P::RemoveOwnFile(d / "folder.prm"));
}

TEST(Win32SendToTest, TheShortcutIsMadeAndTakenAway) {
    const std::string sendTo = P::SendToPath();
    ASSERT_FALSE(sendTo.empty());
    ASSERT_TRUE(P::CreateSendTo(sendTo, P::ExecutablePath()));
    EXPECT_TRUE(P::SendToExists(sendTo));
    EXPECT_TRUE(P::RemoveSendTo(sendTo));
    EXPECT_FALSE(P::SendToExists(sendTo));
}
