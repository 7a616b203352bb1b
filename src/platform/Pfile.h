// Whole-file access for the program's own files.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace nrvs::platform {

// Reads the whole file at a native path. False when it cannot be opened or
// read, or is no regular file (a FIFO or device put in its place) or larger
// than any file of the program's own.
bool ReadWholeFile(const std::string& nativePath, std::string& out);

// Replaces the file at a native path with data: writes a temporary file with
// an unguessable name, created exclusively, in the same folder, flushes it,
// then renames it over the old one, keeping the old file's permission bits.
// On failure the temporary file is removed and the old file stays as it was.
// Temporary files of this name left by a killed process are removed.
bool ReplaceFile(const std::string& nativePath, std::string_view data);

// The same for a text of lines, each written followed by CR LF, in chunks:
// a large cache never needs a second copy in memory.
bool ReplaceFileWithLines(const std::string& nativePath, const std::vector<std::string>& lines);

// The same for data produced in pieces: produce calls put with each piece
// and returns false to give up (put returns false once a write failed). The
// errno of the first failure is left in errno.
using PutBytes = std::function<bool(std::string_view)>;
bool ReplaceFileStreamed(const std::string& nativePath, const std::function<bool(const PutBytes& put)>& produce);

// Creates a native folder and the ones above it that are missing, with the
// given mode (the umask applies). True when it is a folder afterwards.
bool MakeFolders(const std::string& nativePath, unsigned mode);

// 16 random hex digits for names that must not be guessed.
std::string RandomSuffix();

} // namespace nrvs::platform
