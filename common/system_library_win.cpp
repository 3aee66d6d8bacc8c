#include "common/system_library_win.h"

#include "common/message_box.h"

#include <delayimp.h>

#include <cwchar>

namespace {

constexpr unsigned kAllLibraries = kInternetLibrary | kCommonDialogsLibrary | kShellLibrary | kCommonControlsLibrary;

// Never from the current folder or the program's: a library planted there would run as us.
HMODULE LoadFromSystemFolder(const wchar_t* file)
{
    HMODULE module = LoadLibraryExW(file, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr && GetLastError() == ERROR_INVALID_PARAMETER) {
        // A system without the search flags: the full path of the file instead.
        wchar_t path[MAX_PATH];
        UINT length = GetSystemDirectoryW(path, MAX_PATH);
        if (length == 0 || length + 1 + std::wcslen(file) >= MAX_PATH) {
            return nullptr;
        }
        path[length] = L'\\';
        std::wcscpy(path + length + 1, file);
        module = LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    return module;
}

// Libraries are bound at their first call (delay-load import libraries); the binding
// loads them the same safe way. A caller has made sure they load (RequireSystemLibraries).
FARPROC WINAPI OnDelayLoad(unsigned notification, PDelayLoadInfo info)
{
    if (notification != dliNotePreLoadLibrary || info == nullptr || info->szDll == nullptr) {
        return nullptr;
    }
    wchar_t file[MAX_PATH] = {};
    for (size_t i = 0; i + 1 < MAX_PATH && info->szDll[i] != '\0'; ++i) {
        file[i] = static_cast<wchar_t>(static_cast<unsigned char>(info->szDll[i]));
    }
    return reinterpret_cast<FARPROC>(LoadFromSystemFolder(file));
}

void CALLBACK Preload(PTP_CALLBACK_INSTANCE, LPVOID parameter)
{
    const auto libraries = static_cast<unsigned>(reinterpret_cast<UINT_PTR>(parameter));
    for (unsigned library = 1; library <= kAllLibraries; library <<= 1) {
        if ((libraries & library) != 0) {
            LoadFromSystemFolder(SystemLibraryFile(library));
        }
    }
}

} // namespace

extern "C" {
PfnDliHook __pfnDliNotifyHook2 = OnDelayLoad;
PfnDliHook __pfnDliFailureHook2 = nullptr;
}

bool RequireSystemLibraries(unsigned libraries, HWND owner)
{
    for (unsigned library = 1; library <= kAllLibraries; library <<= 1) {
        const wchar_t* file = SystemLibraryFile(library);
        if ((libraries & library) == 0 || GetModuleHandleW(file) != nullptr || LoadFromSystemFolder(file) != nullptr) {
            continue;
        }
        const DWORD error = GetLastError();
        ShowErrorBox(owner, SystemLibraryFailureText(library, error));
        return false;
    }
    return true;
}

void PreloadSystemLibraries(unsigned libraries)
{
    unsigned missing = 0;
    for (unsigned library = 1; library <= kAllLibraries; library <<= 1) {
        if ((libraries & library) != 0 && GetModuleHandleW(SystemLibraryFile(library)) == nullptr) {
            missing |= library;
        }
    }
    if (missing == 0) {
        return;
    }
    // On the process's pool, whose thread then stays warm for the send's lookup.
    TrySubmitThreadpoolCallback(Preload, reinterpret_cast<LPVOID>(static_cast<UINT_PTR>(missing)), nullptr);
}
