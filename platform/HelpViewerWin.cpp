#include "platform/HelpViewer.h"

#include <windows.h>

namespace glimora::platform {

namespace {

using HtmlHelpEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

class HhctrlHelpViewer : public HelpViewer
{
public:
    explicit HhctrlHelpViewer(HtmlHelpEntry entry)
        : m_entry(entry)
    {
    }

    WId display(WId caller, const char* file, unsigned int command, quintptr data) override
    {
        return WId(m_entry(reinterpret_cast<HWND>(caller), file, command, DWORD_PTR(data)));
    }

private:
    HtmlHelpEntry m_entry;
};

// The viewer's registered path, from the HTML Help control's class id.
HMODULE loadRegisteredViewer()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", 0,
            KEY_READ, &key)
        != ERROR_SUCCESS)
        return nullptr;
    char path[261] = {};
    DWORD size = 260;
    const LONG status
        = RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return nullptr;
    return LoadLibraryA(path);
}

} // namespace

std::unique_ptr<HelpViewer> loadHelpViewer(const QString& libraryName)
{
    HMODULE library = nullptr;
    if (libraryName.isEmpty()) {
        library = loadRegisteredViewer();
        if (!library)
            library = LoadLibraryA("hhctrl.ocx");
    } else {
        library = LoadLibraryW(reinterpret_cast<LPCWSTR>(libraryName.utf16()));
    }
    if (!library)
        return nullptr;
    // The ANSI entry point is exported by ordinal only. The library stays loaded.
    auto entry = reinterpret_cast<HtmlHelpEntry>(GetProcAddress(library, MAKEINTRESOURCEA(14)));
    if (!entry)
        return nullptr;
    return std::make_unique<HhctrlHelpViewer>(entry);
}

} // namespace glimora::platform
