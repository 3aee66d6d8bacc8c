#include "settings/split_path.h"

#include <cwchar>

namespace {
constexpr size_t kPathChars = 260;
}

bool SplitPath(const wchar_t* path, wchar_t* folder, wchar_t* file)
{
    if (path == nullptr || folder == nullptr || file == nullptr) {
        return false;
    }
    const size_t length = std::wcslen(path);
    if (length >= kPathChars) {
        return false;
    }
    std::wmemset(file, L'\0', kPathChars);
    std::wmemmove(folder, path, length + 1); // the caller may pass the path's own buffer
    wchar_t* slash = std::wcsrchr(folder, L'\\');
    if (slash != nullptr) {
        std::wcscpy(file, slash + 1);
        *slash = L'\0';
    } else {
        std::wcscpy(file, folder);
        folder[0] = L'\0';
    }
    return true;
}
