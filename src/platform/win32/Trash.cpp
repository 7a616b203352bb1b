#include "platform/Trash.h"

#include "platform/win32/Failures.h"
#include "platform/win32/WideApi.h"

#include <shellapi.h>

namespace nrvs::platform {

// The shell keeps its recycle bin safe on its own.
bool HasSafeTrash(const Folder&, std::string&) {
    return true;
}

bool MoveToTrash(const Folder&, const std::string&, const std::string& nativePath,
                 std::vector<OperationFailure>& failures) {
    // The shell takes no "\\?\" paths; the list ends with two zeros.
    std::wstring from = win::Wide(nativePath);
    for (auto& c : from)
        if (c == L'/') c = L'\\';
    from.push_back(L'\0');
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    const int rc = ::SHFileOperationW(&op);
    if (rc != 0 || op.fAnyOperationsAborted)
        return win::Fail(failures, nativePath, "ごみ箱に移せません (" + std::to_string(rc) + ")",
                         rc);
    return true;
}

} // namespace nrvs::platform
