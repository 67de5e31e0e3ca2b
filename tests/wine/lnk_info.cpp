// Prints what a Windows shortcut (.lnk) holds, read through the shell's own
// IShellLinkW as Explorer reads it: its target, arguments, working folder,
// icon and comment, one "key=value" line each, in UTF-8. A tool of
// tests/wine/package_under_wine.sh, cross-built by it and run under Wine:
//
//   lnk_info.exe SHORTCUT.lnk
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string utf8(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string result(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    result.resize(static_cast<std::size_t>(size - 1));
    return result;
}

void print(const char* key, const wchar_t* value) { std::printf("%s=%s\n", key, utf8(value).c_str()); }

}  // namespace

int wmain(int argc, wchar_t* argv[])
{
    if (argc != 2) {
        std::fputs("usage: lnk_info SHORTCUT.lnk\n", stderr);
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    IShellLinkW* link = nullptr;
    IPersistFile* file = nullptr;
    int status = 1;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(argv[1], STGM_READ))) {
        wchar_t text[INFOTIPSIZE];
        int icon = 0;
        if (SUCCEEDED(link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH)))
            print("target", text);
        if (SUCCEEDED(link->GetArguments(text, INFOTIPSIZE)))
            print("arguments", text);
        if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH)))
            print("workdir", text);
        if (SUCCEEDED(link->GetIconLocation(text, MAX_PATH, &icon)))
            std::printf("icon=%s,%d\n", utf8(text).c_str(), icon);
        if (SUCCEEDED(link->GetDescription(text, INFOTIPSIZE)))
            print("comment", text);
        status = 0;
    } else {
        std::fputs("lnk_info: the shortcut could not be read\n", stderr);
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return status;
}
