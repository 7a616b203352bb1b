// Kinds of files by the extension of their names (and the execute bit, since
// most programs on Linux have none): one table for the file types window,
// the treemap's colours and the command line.
#pragma once

#include "core/index/FileIndex.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs {

enum FileKind : int8_t {
    KIND_IMAGE = 0,
    KIND_VIDEO,
    KIND_AUDIO,
    KIND_DOCUMENT,
    KIND_ARCHIVE,
    KIND_EXECUTABLE,
    KIND_SOURCE,
    KIND_OTHER,
    KIND_COUNT
};

// The kind of a file named name; executable: an execute bit is set. An
// extension of a known kind decides; a file without one that is executable
// is a program (libfoo.so.1.2 is one too).
FileKind KindOfFile(std::string_view name, bool executable);
// The kind of an extension alone (lower case, without the dot).
FileKind KindOfExtension(std::string_view ext);
// "image", "video", "audio", "document", "archive", "executable", "source", "other".
const char* KindKey(FileKind kind);
// 画像, 動画, 音声, 文書, 圧縮, 実行, プログラム, その他.
const char* KindCaption(FileKind kind);

// One row of the file types: an extension (empty: none) and kind, or a kind
// alone (Extension empty, ByKind).
struct TypeRow {
    std::string Extension;
    FileKind Kind = KIND_OTHER;
    uint64_t Files = 0;
    uint64_t Size = 0;
    uint64_t Occupied = 0;
};

// The files of the index below folder (program path; empty: the drive) by
// extension (one row each; its kind that of all its files, or "other" when
// they differ), or by kind alone; files with several names counted as
// the largest files list counts them, gone files not at all. Largest
// occupied size first, ties by extension, then kind. Empty when below is
// not in the index.
std::vector<TypeRow> TypeStatistics(const FileIndex& index, const std::string& below, bool byKind);

// The caption of an extension row: the extension in upper case, or "(なし)".
std::string ExtensionCaption(const std::string& extension);

} // namespace nrvs
