#include "lib/OutputFile.h"

#include "platform/FileAccess.h"

namespace nrvs {

namespace P = platform;

int OpenOutput(OutputFile& file, const std::string& fileName, uint32_t access, uint32_t /*share*/,
               uint32_t creation) {
    CloseOutput(file);
    const std::intptr_t h = P::OpenFileHandle(fileName, (access & GENERIC_READ) != 0,
                                              (access & GENERIC_WRITE) != 0, creation);
    if (h == P::kNoFileHandle) return 0;
    file.Handle = h;
    file.FileName = fileName;
    file.Access = access;
    return 1;
}

long WriteOutput(OutputFile& file, const void* bytes, long length) {
    if (file.Handle == P::kNoFileHandle || length < 0) return -1;
    return P::WriteFileHandle(file.Handle, bytes, length);
}

int CloseOutput(OutputFile& file) {
    if (file.Handle != P::kNoFileHandle) P::CloseFileHandle(file.Handle);
    file.Handle = P::kNoFileHandle;
    return 1;
}

} // namespace nrvs
