#include "platform/OpenWithEntry.h"

#include "platform/FileAccess.h"
#include "platform/win32/WideApi.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

namespace nrvs::platform {

std::string SendToPath(std::string* why) {
    wchar_t buf[MAX_PATH] = {};
    if (::SHGetFolderPathW(nullptr, CSIDL_SENDTO | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                           buf) != S_OK) {
        if (why) *why = "the Send To folder cannot be found";
        return {};
    }
    return win::FromSystem(buf) + "/Norvessa.lnk";
}

// What the shortcut starts: the program, given the chosen folder.
std::string SendToEntry(const std::string& executable) {
    return executable;
}

bool SendToExists(const std::string& path) {
    const DWORD a = ::GetFileAttributesW(win::LongPath(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateSendTo(const std::string& path, const std::string& executable) {
    if (SendToExists(path)) return true;
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    bool ok = false;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkW, reinterpret_cast<void**>(&link)))) {
        std::wstring target = win::Wide(executable);
        for (auto& c : target)
            if (c == L'/') c = L'\\';
        link->SetPath(target.c_str());
        link->SetDescription(L"Norvessa");
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            std::wstring where = win::Wide(path);
            for (auto& c : where)
                if (c == L'/') c = L'\\';
            ok = SUCCEEDED(file->Save(where.c_str(), TRUE));
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init)) ::CoUninitialize();
    return ok && SendToExists(path);
}

bool RemoveSendTo(const std::string& path) {
    return RemoveOwnFile(path);
}

} // namespace nrvs::platform
