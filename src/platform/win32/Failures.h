// Failures of the Windows file operations, with the system's own reason for
// the last error. Only win32/*.cpp include it.
#pragma once

#include "platform/FileOperations.h"
#include "platform/win32/WideApi.h"

#include <string>
#include <vector>

namespace nrvs::platform::win {

// Adds a failure of what; false, for the caller to return.
inline bool Fail(std::vector<OperationFailure>& failures, const std::string& what,
                 const std::string& why, int systemError = 0) {
    failures.push_back({what, why, systemError});
    return false;
}

// The same with the reason of GetLastError() as the system words it, and
// its number.
inline bool FailLast(std::vector<OperationFailure>& failures, const std::string& what) {
    const DWORD code = ::GetLastError();
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string s = n ? Narrow(text, n) : std::string();
    if (text) ::LocalFree(text);
    while (!s.empty() &&
           (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '.'))
        s.pop_back();
    return Fail(failures, what,
                (s.empty() ? std::string("error") : s) + " (" + std::to_string(code) + ")",
                static_cast<int>(code));
}

} // namespace nrvs::platform::win
