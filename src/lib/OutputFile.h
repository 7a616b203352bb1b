// A sequential file writer for the exports. Names are native (they come from
// the save dialog).
#pragma once

#include <cstdint>
#include <string>

namespace nrvs {

enum : uint32_t {
    GENERIC_READ = 0x80000000u,
    GENERIC_WRITE = 0x40000000u,
    CREATE_NEW = 1,
    CREATE_ALWAYS = 2,
    OPEN_EXISTING = 3,
    OPEN_ALWAYS = 4,
    TRUNCATE_EXISTING = 5,
};
struct OutputFile {
    std::intptr_t Handle = -1;
    std::string FileName;
    uint32_t Access = 0;
};
int OpenOutput(OutputFile& file, const std::string& fileName, uint32_t access, uint32_t share,
               uint32_t creation);
long WriteOutput(OutputFile& file, const void* bytes, long length);
int CloseOutput(OutputFile& file);

} // namespace nrvs
