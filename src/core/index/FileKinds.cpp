#include "core/index/FileKinds.h"

#include "core/index/FileQueries.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <unordered_map>

namespace nrvs {

namespace {

struct KindTable {
    FileKind kind;
    std::vector<std::string_view> extensions;
};

const std::vector<KindTable>& Table() {
    static const std::vector<KindTable> table = {
        {KIND_IMAGE,
         {"png", "jpg", "jpeg", "jpe", "gif",  "bmp", "tif", "tiff", "webp", "svg",  "svgz", "ico",
          "xpm", "psd", "raw",  "cr2", "cr3",  "nef", "arw", "dng",  "heic", "heif", "avif", "xcf",
          "pbm", "pgm", "ppm",  "pnm", "icns", "jxl", "exr", "hdr",  "tga",  "eps",  "ai"}},
        {KIND_VIDEO, {"mp4",  "mkv", "avi", "mov", "wmv", "flv", "webm", "m4v", "mpg",  "mpeg",
                      "m2ts", "mts", "ts",  "vob", "3gp", "ogv", "asf",  "rm",  "rmvb", "divx"}},
        {KIND_AUDIO,
         {"mp3", "wav", "flac", "ogg", "oga", "opus", "aac", "m4a", "wma", "aiff", "aif", "mid",
          "midi", "ape", "alac", "dsf", "au", "amr"}},
        {KIND_DOCUMENT,
         {"pdf",  "doc",   "docx", "xls",     "xlsx", "ppt",  "pptx",  "odt", "ods",  "odp", "odg",
          "txt",  "rtf",   "md",   "rst",     "html", "htm",  "xhtml", "xml", "csv",  "tsv", "tex",
          "epub", "mobi",  "chm",  "ps",      "dvi",  "json", "yaml",  "yml", "toml", "ini", "log",
          "djvu", "pages", "key",  "numbers", "info", "man",  "po",    "mo"}},
        {KIND_ARCHIVE,
         {"zip",  "gz",    "tgz",  "bz2",      "tbz",  "xz",  "txz", "zst", "7z",   "rar",
          "tar",  "lz",    "lzma", "lz4",      "cab",  "deb", "rpm", "jar", "war",  "ear",
          "iso",  "img",   "dmg",  "squashfs", "cpio", "z",   "apk", "whl", "pack", "snap",
          "vmdk", "qcow2", "vdi",  "vhd",      "vhdx", "lzh", "arj"}},
        {KIND_EXECUTABLE,
         {"exe", "dll",   "so",    "a",   "o",        "bin", "elf", "msi", "sys", "ko",   "pyc",
          "pyo", "class", "dylib", "run", "appimage", "com", "efi", "lib", "obj", "wasm", "node"}},
        {KIND_SOURCE,
         {"c",     "cc",   "cpp", "cxx",    "c++",   "h",     "hh",     "hpp",    "hxx",   "inl",
          "ipp",   "py",   "js",  "mjs",    "cjs",   "jsx",   "tsx",    "java",   "kt",    "kts",
          "scala", "rs",   "go",  "rb",     "pl",    "pm",    "php",    "cs",     "fs",    "swift",
          "m",     "mm",   "s",   "asm",    "lua",   "sql",   "hs",     "el",     "lisp",  "clj",
          "erl",   "ex",   "exs", "dart",   "r",     "jl",    "vim",    "cmake",  "mk",    "make",
          "sh",    "bash", "zsh", "fish",   "bat",   "cmd",   "ps1",    "vb",     "vbs",   "pas",
          "f",     "f90",  "for", "ada",    "adb",   "ads",   "d",      "zig",    "nim",   "ml",
          "mli",   "v",    "vhd", "vhdl",   "sv",    "proto", "thrift", "gradle", "css",   "scss",
          "sass",  "less", "vue", "svelte", "ipynb", "tcl",   "awk",    "sed",    "patch", "diff"}},
    };
    return table;
}

} // namespace

FileKind KindOfExtension(std::string_view ext) {
    if (ext.empty()) return KIND_OTHER;
    // A few hundred entries: one map lookup instead of a scan per file.
    static const std::map<std::string_view, FileKind, std::less<>> byExtension = [] {
        std::map<std::string_view, FileKind, std::less<>> m;
        for (const auto& row : Table())
            for (std::string_view e : row.extensions)
                m.emplace(e, row.kind); // the first table wins
        return m;
    }();
    const auto it = byExtension.find(ext);
    return it == byExtension.end() ? KIND_OTHER : it->second;
}

FileKind KindOfFile(std::string_view name, bool executable) {
    const FileKind byExtension = KindOfExtension(ExtensionOf(name));
    if (byExtension != KIND_OTHER) return byExtension;
    // Versioned shared objects: libfoo.so.1.2
    if (name.find(".so.") != std::string_view::npos) return KIND_EXECUTABLE;
    return executable ? KIND_EXECUTABLE : KIND_OTHER;
}

const char* KindKey(FileKind kind) {
    static const char* const keys[] = {"image",   "video",      "audio",  "document",
                                       "archive", "executable", "source", "other"};
    return kind >= 0 && kind < KIND_COUNT ? keys[kind] : "other";
}

const char* KindCaption(FileKind kind) {
    static const char* const captions[] = {"画像", "動画", "音声",       "文書",
                                           "圧縮", "実行", "プログラム", "その他"};
    return kind >= 0 && kind < KIND_COUNT ? captions[kind] : "その他";
}

std::string ExtensionCaption(const std::string& extension) {
    if (extension.empty()) return "(なし)";
    std::string out = extension;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

namespace {

// A hash of an extension's bytes for the table of extensions met so far.
struct ExtensionHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const {
        uint64_t h = 1469598103934665603ull;
        for (unsigned char c : s)
            h = (h ^ c) * 1099511628211ull;
        return static_cast<size_t>(h);
    }
};

// What one extension stands for: its kind by the table, and its row (a
// file without a known extension is executable or not by its own bit and
// name, and its row a program's only while all its files are).
struct ExtensionRows {
    FileKind Kind;
    int Row;
};

bool AllDigits(std::string_view text) {
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return !text.empty();
}

} // namespace

std::vector<TypeRow> TypeStatistics(const FileIndex& index, const std::string& below, bool byKind) {
    std::vector<TypeRow> rows;
    if (!index.IsOpen()) return rows;
    uint32_t first = 0, end = index.FileCount();
    if (!below.empty()) {
        const int64_t f = index.FindFolder(below);
        if (f < 0) return rows;
        const uint32_t folder = static_cast<uint32_t>(f), stop = index.FolderSubtreeEnd(folder);
        first = index.FolderFirstFile(folder);
        end = stop < index.FolderCount() ? index.FolderFirstFile(stop) : index.FileCount();
    }
    const bool skipFurther = index.LinksOnce();
    // Millions of files share a few hundred extensions: each is looked up
    // once in the kinds' table, and its files go to its rows by a hash of
    // the extension's bytes, without a string of their own.
    std::unordered_map<std::string, ExtensionRows, ExtensionHash, std::equal_to<>> extensions;
    std::array<int, KIND_COUNT> kindRows;
    kindRows.fill(-1);
    char lower[256];
    std::string versioned;
    for (uint32_t i = first; i < end; ++i) {
        const uint8_t flags = index.Flags(i);
        if ((flags & INDEX_FLAG_GONE) || (skipFurther && (flags & INDEX_FLAG_FURTHER_NAME)))
            continue;
        const std::string_view name = index.Name(i);
        // As ExtensionOf: after the last dot, neither the first nor the last
        // character, ASCII in lower case.
        size_t n = 0;
        const size_t dot = name.rfind('.');
        if (dot != std::string_view::npos && dot != 0 && dot + 1 != name.size())
            for (size_t k = dot + 1; k < name.size(); ++k) {
                const char c = name[k];
                lower[n++] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
            }
        std::string_view ext(lower, n);
        // Numbers may be a version after the extension (libc.so.6): the
        // few such names take the whole rule.
        if (AllDigits(ext)) {
            versioned = ExtensionOf(name);
            ext = versioned;
        }
        auto it = extensions.find(ext);
        if (it == extensions.end())
            it =
                extensions.emplace(std::string(ext), ExtensionRows{KindOfExtension(ext), -1}).first;
        ExtensionRows& e = it->second;
        FileKind kind = e.Kind;
        if (kind == KIND_OTHER)
            kind = name.find(".so.") != std::string_view::npos || (flags & INDEX_FLAG_EXECUTABLE)
                       ? KIND_EXECUTABLE
                       : KIND_OTHER;
        int& at = byKind ? kindRows[static_cast<size_t>(kind)] : e.Row;
        if (at < 0) {
            at = static_cast<int>(rows.size());
            TypeRow row;
            if (!byKind) row.Extension = it->first;
            row.Kind = kind;
            rows.push_back(std::move(row));
        }
        TypeRow& row = rows[static_cast<size_t>(at)];
        // One row per extension: programs and other files without a known
        // extension together are other files.
        if (row.Kind != kind) row.Kind = KIND_OTHER;
        ++row.Files;
        row.Size += index.Size(i);
        row.Occupied += index.Occupied(i);
    }
    // Every row has its own extension (by kind: its own kind): the order is whole.
    std::sort(rows.begin(), rows.end(), [](const TypeRow& a, const TypeRow& b) {
        if (a.Occupied != b.Occupied) return a.Occupied > b.Occupied;
        if (a.Extension != b.Extension) return a.Extension < b.Extension;
        return a.Kind < b.Kind;
    });
    return rows;
}

} // namespace nrvs
