#include "platform/InputDocument.h"

#include "platform/win32/WideApi.h"

#include <algorithm>

namespace nrvs::platform {

namespace {
bool Fail(std::string* why, const std::string& text) {
    if (why) *why = text;
    return false;
}

std::string LastReason() {
    wchar_t* text = nullptr;
    const DWORD n = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, ::GetLastError(), 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string s =
        n ? win::Narrow(text, n) : std::string("error ") + std::to_string(::GetLastError());
    if (text) ::LocalFree(text);
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' '))
        s.pop_back();
    return s;
}
} // namespace

bool InputStream::OpenStored(const std::string& nativePathOrDash, std::string* why) {
    standardInput_ = nativePathOrDash == "-";
    if (standardInput_) {
        handle_ = reinterpret_cast<intptr_t>(::GetStdHandle(STD_INPUT_HANDLE));
        return true;
    }
    HANDLE h =
        ::CreateFileW(win::LongPath(nativePathOrDash).c_str(), GENERIC_READ,
                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return Fail(why, "開けません: " + LastReason());
    if (::GetFileType(h) != FILE_TYPE_DISK) {
        ::CloseHandle(h);
        return Fail(why, "通常のファイルではありません");
    }
    handle_ = reinterpret_cast<intptr_t>(h);
    return true;
}

bool InputStream::ReadStored(char* buffer, size_t capacity, size_t& got, std::string* why) {
    got = 0;
    if (handle_ == -1) return Fail(why, "読み込めません: not open");
    DWORD n = 0;
    const DWORD room = static_cast<DWORD>(std::min<size_t>(capacity, 1 << 20));
    if (!::ReadFile(reinterpret_cast<HANDLE>(handle_), buffer, room, &n, nullptr)) {
        if (::GetLastError() == ERROR_BROKEN_PIPE) return true; // the writer of a pipe is done
        return Fail(why, "読み込めません: " + LastReason());
    }
    got = n;
    return true;
}

void InputStream::CloseStored() {
    if (handle_ != -1 && !standardInput_) ::CloseHandle(reinterpret_cast<HANDLE>(handle_));
    handle_ = -1;
}

} // namespace nrvs::platform
