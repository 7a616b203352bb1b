// The verb table: what each verb is called, takes and does. The help, the
// manual page and the completion are made from it, and the parser accepts
// exactly the options it names.

#include "app/cli/CommandLine.h"
#include "app/cli/Verbs.h"

namespace nrvs::cli {

namespace {

const Verb kVerbs[] = {
    {"drives",
     "[--tab]",
     "List the drives: letter, type, file system, capacity and free bytes,\n"
     "cluster size, readiness, label, native root. Sizes are in bytes; FREE\n"
     "is what an ordinary user can still write, as df's Avail: the blocks\n"
     "kept for root are not free (the window counts them as reserved).\n"
     "--tab separates the columns with tabs.",
     {{"--tab", 0}},
     0,
     0,
     RunDrives},
    {"ls",
     "[--files|--folders] PATH",
     "Print the entry lines of a folder: name (folders end with \\), \" > \",\n"
     "attribute letters D A H R S C S, size and occupied size.\n"
     "PATH is a program-form path (C:\\usr\\) or a native one (/usr).\n"
     "On a terminal, the escape mark U+E05C that sets a real \"＼\" or\n"
     "\"␊\" apart from one standing for a backslash or control byte is\n"
     "shown as <U+E05C> (also by tree, sim and rank); a pipe gets names as\n"
     "they are.",
     {{"--files", 0}, {"--folders", 0}},
     1,
     1,
     RunList},
    {"measure",
     "[--count-links] [--no-index] DRIVE|PATH",
     "Measure a drive (C:) or one folder of it, write the drive's cache\n"
     "file NRVS_<letter>.txt (in the data folder, see paths) and print folders, files,\n"
     "bytes, occupied bytes and the duration. A file with several names\n"
     "counts its bytes once unless --count-links (or the setting) says\n"
     "every name. The drive's file index NRVS_<letter>.idx (for files) is\n"
     "written beside the cache unless --no-index. When the cache cannot be\n"
     "written the figures are still\n"
     "printed, the reason goes to standard error and the exit status is 1.",
     {{"--count-links", 0}, {"--no-index", 0}},
     1,
     1,
     RunMeasure},
    {"tree",
     "DRIVE|PATH",
     "Print the cached folder lines of a drive, or of one folder and below.",
     {},
     1,
     1,
     RunTree},
    {"files",
     "DRIVE|PATH [--top N] [--by size|occupied|modified] [--ext LIST] [--min-size BYTES] "
     "[--older-than DAYS] "
     "[--name PATTERN] [--path]",
     "Print the largest files of a drive, or below a folder, from the file\n"
     "index of its last measurement (the disk is not walked): program path,\n"
     "size, occupied size and modification time (local), tab-separated,\n"
     "largest first (newest first by modified), ties in byte order of the\n"
     "path; 100 unless --top. --ext takes extensions without dots, comma-\n"
     "separated; --name a pattern with * and ? (without them: anywhere in\n"
     "the name), ignoring case and full-/half-width forms; --path matches it\n"
     "against the whole path. A file with several names is listed once,\n"
     "at the name that owns it, unless the measurement counted every name.\n"
     "Without an index of the last measurement: exit 1, measure again.",
     {{"--top", 1},
      {"--by", 1},
      {"--ext", 1},
      {"--min-size", 1},
      {"--older-than", 1},
      {"--name", 1},
      {"--path", 0}},
     1,
     1,
     RunFiles},
    {"types",
     "DRIVE|PATH [--by-kind]",
     "Totals of the files of a drive, or below a folder, by extension, from\n"
     "the file index: extension (lower case, empty for none), kind (image,\n"
     "video, audio, document, archive, executable, source, other), files,\n"
     "bytes and occupied bytes, tab-separated, largest occupied first. A\n"
     "file without an extension that has an execute bit is executable.\n"
     "--by-kind gives one row per kind: kind, files, bytes, occupied.",
     {{"--by-kind", 0}},
     1,
     1,
     RunTypes},
    {"copy",
     "[--progress] SRC DESTFOLDER",
     "Copy a file or folder tree into a folder, replacing what is there.\n"
     "Paths are program-form (C:\\usr\\) or native (/usr). --progress counts\n"
     "the tree first and shows items and bytes done, as the window does.",
     {{"--progress", 0}},
     2,
     2,
     RunCopy},
    {"move",
     "[--progress] SRC DESTFOLDER",
     "Copy, then put the source into the trash once the copy is whole.",
     {{"--progress", 0}},
     2,
     2,
     RunMove},
    {"delete",
     "[--progress] PATH [--trash]",
     "Delete a file or folder tree for good, or into the trash.",
     {{"--progress", 0}, {"--trash", 0}},
     1,
     1,
     RunDelete},
    {"sim",
     "PATH --cluster N | --drive X:",
     "Simulate the occupied size of a folder's subfolders and files on\n"
     "clusters of N bytes (or of drive X:'s size). Prints name, occupied now\n"
     "(from the cache; ? when not measured) and simulated, tab-separated,\n"
     "then a total line.",
     {{"--cluster", 1}, {"--drive", 1}},
     1,
     1,
     RunSim},
    {"import",
     "FILE|- --as X: [--host NAME] [--force]",
     "Make drive letter X: of a scan written by ncdu -o (or gdu -o): its\n"
     "JSON export, gzip-compressed or not (- reads standard input). The\n"
     "letter gets the cache and file index a measurement of that tree\n"
     "would have written (folders that could not be read are listed), and\n"
     "NRVS_X.imp, which says of which root, which machine (--host) and\n"
     "when. A letter of this machine's drives is refused unless --force,\n"
     "which frees it in the drive map. Bad input exits with 1, the line\n"
     "and column and why, and writes nothing.",
     {{"--as", 1}, {"--host", 1}, {"--force", 0}},
     1,
     1,
     RunImport},
    {"export",
     "X: --tree FILE [--list PATH FILE] --format html|csv",
     "Write the export dialog's documents: the measured folders of drive X:\n"
     "(from its cache) and/or the list the window shows for folder PATH with\n"
     "the saved view settings (--tree may be left out when --list is given).\n"
     "--no-sizes, --no-files, --no-folders leave columns out; --links makes\n"
     "folder names links (HTML). A CSV is made for spreadsheets, as the\n"
     "dialog's \"表計算ソフト向け\": a UTF-8 byte-order mark first, and a cell\n"
     "starting with = + - @, a tab or a CR gets a leading ' so that it is\n"
     "never run as a formula; --plain writes the data exactly as it is.\n"
     "A relative FILE is taken from the current folder, and the path of\n"
     "each document written is printed. A file is replaced only once it is\n"
     "whole; a link at its name is replaced, not followed; a device, FIFO or\n"
     "folder there is refused. A failure exits with 1.\n"
     "export X:|PATH --format ncdu --out FILE writes the measured tree of a\n"
     "drive or folder as ncdu's JSON export (format 1.2, with mtime and\n"
     "mode), from the cache and the file index; without the index of the\n"
     "last measurement it is refused: measure again for its files.",
     {{"--tree", 1},
      {"--list", 2},
      {"--format", 1},
      {"--no-sizes", 0},
      {"--no-files", 0},
      {"--no-folders", 0},
      {"--links", 0},
      {"--plain", 0},
      {"--out", 1}},
     1,
     1,
     RunExport},
    {"info",
     "DRIVE|PATH",
     "Print the drive information of the drive holding PATH: the twenty\n"
     "items of the window (letter, label, serial, file system, geometry,\n"
     "feature flags), tab-separated.",
     {},
     1,
     1,
     RunInfo},
    {"monitor",
     "[--folder PATH]",
     "Print the drive monitor's rows once: every fixed disk with total, free\n"
     "and the free share. --folder counts one folder as the folder monitor\n"
     "does: path, bytes, occupied bytes, files and folders, tab-separated.",
     {{"--folder", 1}},
     0,
     0,
     RunMonitor},
    {"rank",
     "DRIVE [--by K] [--top N] [--filters 01111] [--exclude PATH] [--exclude-tree PATH]",
     "Rank the cached folders of a drive, largest first, as the ranking\n"
     "window does: rank and path, then size, occupied, cluster gap, own\n"
     "files' size and occupied, own files, all files, own folders, all\n"
     "folders, tab-separated, in bytes and counts. K: 0 to 8 in that order;\n"
     "--filters: archive, hidden, read-only, system, no own files;\n"
     "--exclude a folder alone, --exclude-tree with its subfolders\n"
     "(repeatable). What is not given comes from the window's choices.",
     {{"--by", 1}, {"--top", 1}, {"--filters", 1}, {"--exclude", 1}, {"--exclude-tree", 1}},
     1,
     1,
     RunRank},
    {"treemap",
     "DRIVE|PATH --out FILE.png [--size WxH] [--colours kind|depth] [--highlight EXT]",
     "Write the treemap of a folder (or a drive's root) as the window draws\n"
     "it: every folder a cushion whose area is its occupied size, from the\n"
     "drive's cache, and every file a tile of its own from the file index\n"
     "(files too small to see are one block per folder). --size defaults to\n"
     "1600x1000. --highlight dims every tile but the files of extension EXT.",
     {{"--out", 1}, {"--size", 1}, {"--colours", 1}, {"--highlight", 1}},
     1,
     1,
     RunTreemap},
    {"paths",
     "",
     "Print where the program reads and writes its files: the layout\n"
     "(portable: beside the executable; installed: the user's XDG folders),\n"
     "the settings and data folders, the parameter file, the drive map,\n"
     "the caches, file indexes and rankings, and the help document,\n"
     "tab-separated.",
     {},
     0,
     0,
     RunPaths},
    {"changes",
     "DRIVE|PATH [--top N] [--by size|occupied|files] [--files]",
     "What changed between the drive's previous measurement (kept when a\n"
     "measurement replaces its cache) and the current one, for the folders\n"
     "below PATH (itself included): one folder a line, tab-separated: path,\n"
     "size before and after, occupied size before and after, files before\n"
     "and after; a field is empty where the folder did not exist. Ordered by\n"
     "the absolute change of --by (default size), largest first, ties by\n"
     "path; --top N keeps the first N. --files lists the files that\n"
     "appeared, vanished or changed size instead (path, size before and\n"
     "after), from the two measurements' file indexes. Exit 1 when there is\n"
     "no previous measurement, or it is damaged or of another drive.",
     {{"--top", 1}, {"--by", 1}, {"--files", 0}},
     1,
     1,
     RunChanges},
    {"help", "", "Show this help.", {}, 0, 0, RunHelp},
};

} // namespace

std::span<const Verb> Verbs() {
    return kVerbs;
}

} // namespace nrvs::cli
