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

bool ReadInputDocument(const std::string& nativePathOrDash, size_t limit, size_t padding,
                       std::string& out, std::string* why) {
    out.clear();
    const bool stdinput = nativePathOrDash == "-";
    HANDLE h = ::GetStdHandle(STD_INPUT_HANDLE);
    if (!stdinput) {
        h = ::CreateFileW(win::LongPath(nativePathOrDash).c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return Fail(why, "開けません: " + LastReason());
        LARGE_INTEGER size{};
        if (::GetFileType(h) != FILE_TYPE_DISK || !::GetFileSizeEx(h, &size)) {
            ::CloseHandle(h);
            return Fail(why, "通常のファイルではありません");
        }
        if (static_cast<unsigned long long>(size.QuadPart) > limit) {
            ::CloseHandle(h);
            return Fail(why, std::to_string(limit) + " バイトを超えていて、読み込めません");
        }
        out.reserve(static_cast<size_t>(size.QuadPart) + padding);
    }
    bool ok = true;
    char buf[1 << 16];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(h, buf, sizeof buf, &n, nullptr)) {
            if (::GetLastError() == ERROR_BROKEN_PIPE) break; // the writer of a pipe is done
            ok = Fail(why, "読み込めません: " + LastReason());
            break;
        }
        if (n == 0) break;
        if (out.size() + n > limit) {
            ok = Fail(why, std::to_string(limit) + " バイトを超えていて、読み込めません");
            break;
        }
        if (out.capacity() < out.size() + n + padding)
            out.reserve(std::max(out.capacity() * 2, out.size() + n + padding));
        out.append(buf, n);
    }
    if (!stdinput) ::CloseHandle(h);
    if (!ok) {
        out.clear();
        return false;
    }
    if (out.capacity() < out.size() + padding) out.reserve(out.size() + padding);
    if (out.size() >= 2 && static_cast<unsigned char>(out[0]) == 0x1f &&
        static_cast<unsigned char>(out[1]) == 0x8b) {
        std::string packed = std::move(out);
        return Gunzip(packed, limit, padding, out, why);
    }
    return true;
}

} // namespace nrvs::platform
